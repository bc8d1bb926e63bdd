# Checks the Debian package that cpack made in the release build RELEASE, as Debian checks
# packages: every file where it belongs and nothing else, the menu entry starting the viewer
# beside the bundled terrain, dependencies that bring GL, a viewer hardened as Debian's own
# programs are, the same package when packed again and when built from a copy of the SOURCE
# elsewhere (under WORK), and lintian and desktop-file-validate with nothing to say. TERRAIN is the
# bundled terrain that the package must carry.
file(GLOB deb ${RELEASE}/mirovale_${VERSION}_*.deb)
if(NOT deb)
  message(FATAL_ERROR "no mirovale_${VERSION}_*.deb in ${RELEASE}: make it with cpack --preset deb")
endif()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(failed)
    message(FATAL_ERROR "${ARGN} failed:\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

# Its files, with their modes, and the folders that hold them.
run(dpkg-deb --contents ${deb})
string(REGEX REPLACE "[^\n]* [0-9:-]+ [0-9:]+ \\./([^\n]*)" "\\1" listed "${out}")
string(REGEX REPLACE "\n$" "" listed "${listed}")
string(REPLACE "\n" ";" listed "${listed}")
set(expected
  usr/bin/mirovale
  usr/share/applications/mirovale.desktop
  usr/share/doc/mirovale/changelog.gz
  usr/share/doc/mirovale/copyright
  usr/share/icons/hicolor/256x256/apps/mirovale.png
  usr/share/man/man1/mirovale.1.gz
  usr/share/mirovale/sample.raw)
set(files "")
foreach(entry ${listed})
  if(NOT entry MATCHES "/$")
    list(APPEND files ${entry})
  endif()
endforeach()
if(NOT files STREQUAL expected)
  message(FATAL_ERROR "the package holds\n  ${files}\nwhere it should hold\n  ${expected}")
endif()
if(NOT out MATCHES "-rwxr-xr-x root/root [^\n]* \\./usr/bin/mirovale\n")
  message(FATAL_ERROR "usr/bin/mirovale is not an executable of root's:\n${out}")
endif()

set(unpacked ${RELEASE}/deb-check)
file(REMOVE_RECURSE ${unpacked})
run(dpkg-deb --extract ${deb} ${unpacked})
file(SHA256 ${unpacked}/usr/share/mirovale/sample.raw packed)
file(SHA256 ${TERRAIN} built)
if(NOT packed STREQUAL built)
  message(FATAL_ERROR "the package's sample.raw is not the bundled terrain")
endif()

# The menu entry starts the viewer in the folder of the terrain, shows its icon, and is valid.
file(READ ${unpacked}/usr/share/applications/mirovale.desktop entry)
foreach(line "Exec=mirovale" "Path=/usr/share/mirovale" "Icon=mirovale")
  if(NOT entry MATCHES "\n${line}\n")
    message(FATAL_ERROR "the menu entry lacks the line ${line}:\n${entry}")
  endif()
endforeach()
run(desktop-file-validate ${unpacked}/usr/share/applications/mirovale.desktop)
if(out)
  message(FATAL_ERROR "desktop-file-validate: ${out}")
endif()

# Its dependencies, worked out from the program, bring GLUT and GL, and Mesa with them.
run(dpkg-deb --field ${deb} Version Depends)
if(NOT out MATCHES "Version: ${VERSION}\n" OR NOT out MATCHES "libglut3\\.12" OR NOT out MATCHES "libglx0")
  message(FATAL_ERROR "the package is not version ${VERSION} depending on GLUT and GL:\n${out}")
endif()

# The viewer reads files users hand it, with Debian's protections: all of it compiled with the stack
# protector and _FORTIFY_SOURCE, and linked with full RELRO, its symbols bound at start (BIND_NOW).
file(READ ${RELEASE}/compile_commands.json commands)
string(JSON count LENGTH "${commands}")
math(EXPR last "${count} - 1")
foreach(k RANGE ${last})
  string(JSON command GET "${commands}" ${k} command)
  if(NOT command MATCHES " -D_FORTIFY_SOURCE=[1-9] " OR NOT command MATCHES " -fstack-protector-strong ")
    message(FATAL_ERROR "the release build compiles without Debian's hardening:\n${command}")
  endif()
endforeach()
run(readelf --dynamic --program-headers --dyn-syms --wide ${unpacked}/usr/bin/mirovale)
foreach(mark "GNU_RELRO" "\\(FLAGS\\)[^\n]*BIND_NOW" "UND __stack_chk_fail@")
  if(NOT out MATCHES "${mark}")
    message(FATAL_ERROR "usr/bin/mirovale lacks ${mark}: it is not hardened as Debian's programs are")
  endif()
endforeach()

# Lintian may say what it has for information, but nothing worse, and names no missing hardening.
# One exception: it counts a program with no calls the compiler could check the sizes of as not
# fortified, and the viewer's one such call, fread, reads into a buffer sized at run time.
run(lintian --allow-root --info --pedantic --fail-on error,warning ${deb})
string(REPLACE "hardening-no-fortify-functions" "" lintian "${out}")
if(lintian MATCHES "hardening-")
  message(FATAL_ERROR "lintian finds the package not hardened:\n${out}")
endif()

get_filename_component(deb_name ${deb} NAME)
# Packed again from the same build, even after its files have been touched, the package is the same
# bytes: every time stamp in it is the changelog's date.
set(again ${RELEASE}/deb-again)
file(REMOVE_RECURSE ${again})
file(TOUCH_NOCREATE ${RELEASE}/mirovale ${RELEASE}/sample.raw ${RELEASE}/mirovale.1.gz ${RELEASE}/changelog.gz)
run(cpack --config ${RELEASE}/CPackConfig.cmake -G DEB -B ${again})
file(GLOB repacked ${again}/mirovale_${VERSION}_*.deb)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${deb} ${repacked} RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "packed again, the package is not the same bytes: it carries the time it was made")
endif()

# Built from a copy of the sources elsewhere, at a path of another length, the package is the same
# bytes too: where the sources were leaves no trace in the program.
set(elsewhere ${WORK}/somewhere/else/mirovale)
file(REMOVE_RECURSE ${WORK})
foreach(part app cmake linux packaging terrain tools trackball web windows CMakeLists.txt CMakePresets.json)
  file(COPY ${SOURCE}/${part} DESTINATION ${elsewhere})
endforeach()
run(${CMAKE_COMMAND} --preset release -S ${elsewhere})
run(${CMAKE_COMMAND} --build ${elsewhere}/build)
run(cpack --config ${elsewhere}/build/CPackConfig.cmake -G DEB -B ${elsewhere}/build)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${deb} ${elsewhere}/build/${deb_name} RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "built from ${elsewhere}, the package is not the same bytes: the path is in it")
endif()
file(REMOVE_RECURSE ${unpacked} ${again} ${WORK})
message(STATUS "${deb} holds what it should, where it should, hardened, and comes out the same every time and "
               "from anywhere")
