# Checks the Windows zip that cpack made in the Windows build WINDOWS: one folder holding
# mirovale.exe and the 66,049-byte sample.raw side by side, and an exe of the Windows desktop, not
# the console, that needs no DLL beyond those Windows ships (OBJDUMP lists what it imports), keeps
# no time of its link, and carries its icon, in the sizes Windows asks for (WRESTOOL and ICOTOOL read
# it), its manifest (WRESTOOL), and its name and VERSION (WINDRES reads them).
cmake_minimum_required(VERSION 3.25)
set(zip ${WINDOWS}/mirovale-windows-x86_64.zip)
set(unpacked ${WINDOWS}/zip-check)
file(REMOVE_RECURSE ${unpacked})
file(MAKE_DIRECTORY ${unpacked})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${unpacked} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot unpack ${zip}: make it with cpack --preset windows")
endif()

file(GLOB_RECURSE files RELATIVE ${unpacked} ${unpacked}/*)
list(SORT files)
set(expected mirovale-windows-x86_64/mirovale.exe mirovale-windows-x86_64/sample.raw)
if(NOT files STREQUAL expected)
  message(FATAL_ERROR "the zip holds\n  ${files}\nwhere it should hold\n  ${expected}")
endif()
file(SIZE ${unpacked}/mirovale-windows-x86_64/sample.raw size)
if(NOT size EQUAL 66049)
  message(FATAL_ERROR "the zip's sample.raw is ${size} bytes, not 66049")
endif()

# The system DLLs the viewer may use, as any Windows has them.
set(shipped ADVAPI32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL OPENGL32.DLL USER32.DLL WINMM.DLL)
execute_process(COMMAND ${OBJDUMP} -p ${unpacked}/mirovale-windows-x86_64/mirovale.exe OUTPUT_VARIABLE headers)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
if(NOT imports)
  message(FATAL_ERROR "${OBJDUMP} found no imports in mirovale.exe")
endif()
foreach(import ${imports})
  string(REGEX REPLACE "DLL Name: " "" dll "${import}")
  string(TOUPPER ${dll} dll)
  if(NOT dll IN_LIST shipped)
    message(FATAL_ERROR "mirovale.exe needs ${dll}, which Windows does not ship")
  endif()
endforeach()
# Built again, it is the same bytes: its header carries no time of its link (0, which objdump shows
# as the epoch).
string(REGEX MATCH "\nTime/Date[^\n]*" linked "${headers}")
if(NOT linked MATCHES "Thu Jan  1 00:00:00 1970")
  message(FATAL_ERROR "mirovale.exe carries the time it was linked, so no two builds are the same bytes: ${linked}")
endif()
# A double-click opens the viewer alone: no console window beside it.
string(REGEX MATCH "\nSubsystem[^\n]*" subsystem "${headers}")
if(NOT subsystem MATCHES "\\(Windows GUI\\)")
  message(FATAL_ERROR "mirovale.exe is not a Windows desktop program: ${subsystem}")
endif()

# Its icon group, which freeglut gives its windows and Explorer shows too, at 16, 32, 48 and 256
# pixels, as icoutils lists it (wrestool takes it out, icotool lists each picture as options).
set(icon ${unpacked}/glut_icon.ico)
execute_process(COMMAND ${WRESTOOL} -x --type=14 --name=GLUT_ICON ${unpacked}/mirovale-windows-x86_64/mirovale.exe
                        -o ${icon} RESULT_VARIABLE failed)
execute_process(COMMAND ${ICOTOOL} -l ${icon} OUTPUT_VARIABLE pictures)
string(REGEX MATCHALL "--width=[0-9]+ --height=[0-9]+" sizes "${pictures}")
if(failed OR NOT sizes STREQUAL "--width=16 --height=16;--width=32 --height=32;--width=48 --height=48;--width=256 --height=256")
  message(FATAL_ERROR "mirovale.exe has no GLUT_ICON of 16, 32, 48 and 256 pixels:\n${pictures}")
endif()
# Its manifest, which tells Windows that it runs on Windows 10 and 11 and sizes its window by the
# system's DPI itself, so that Windows does not stretch its picture on a scaled desktop. (Wine
# stretches nothing either way, so only here is its absence seen.)
execute_process(COMMAND ${WRESTOOL} -x --raw --type=24 --name=1 ${unpacked}/mirovale-windows-x86_64/mirovale.exe
                OUTPUT_VARIABLE manifest)
foreach(setting "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"
                "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"
                "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">system</dpiAwareness>")
  string(FIND "${manifest}" "${setting}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "mirovale.exe's manifest (resource 24, 1) lacks ${setting}:\n${manifest}")
  endif()
endforeach()
# The version Properties shows, as the resource compiler writes it back out.
execute_process(COMMAND ${WINDRES} -i ${unpacked}/mirovale-windows-x86_64/mirovale.exe -O rc
                OUTPUT_VARIABLE resources)
string(REGEX MATCH "VERSIONINFO.*" version "${resources}")
foreach(value "FileVersion\", \"${VERSION}" "ProductVersion\", \"${VERSION}" "ProductName\", \"Mirovale"
              "FileDescription\", \"Mirovale heightmap viewer")
  if(NOT version MATCHES "VALUE \"${value}\"\n")
    message(FATAL_ERROR "mirovale.exe's version resource lacks ${value}:\n${version}")
  endif()
endforeach()
file(REMOVE_RECURSE ${unpacked})
message(STATUS "${zip} holds the viewer, with its icon, manifest and version, and its terrain, needing only: ${imports}")
