# What building for Windows takes that Linux does not, all in one place.

# Windows ships no GLUT: the build makes a static freeglut from Debian's own source package, once,
# into a prefix under the build folder, and links it into the program so that it stands alone. Its
# CMakeLists.txt asks for CMake 3.0's ways, which CMake 4 no longer has: it is held to 3.5's, the
# oldest CMake 4 keeps (older CMakes ignore the setting).
set(FREEGLUT_PREFIX ${CMAKE_BINARY_DIR}/freeglut)
if(NOT EXISTS ${FREEGLUT_PREFIX}/lib/cmake/FreeGLUT/FreeGLUTConfig.cmake)
  set(work ${CMAKE_BINARY_DIR}/freeglut-build)
  message(STATUS "Building freeglut from Debian's source package (once, log in ${work})")
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work})
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/tools/freeglut_source.sh ${work} RESULT_VARIABLE failed)
  file(GLOB source LIST_DIRECTORIES true ${work}/freeglut-*)
  if(failed OR NOT source)
    message(FATAL_ERROR "apt-get source freeglut failed: it needs deb entries for Debian in apt's sources")
  endif()
  # As many compilers at once as the machine has cores, as every other build here runs: left open,
  # make starts one for every file at once, which a small board's memory does not hold.
  execute_process(COMMAND nproc OUTPUT_VARIABLE cores OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT cores MATCHES "^[0-9]+$")
    cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
  endif()
  set(log 0)
  foreach(step
          "-S;${source};-B;${work}/build;-DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE};-DCMAKE_BUILD_TYPE=Release;-DCMAKE_INSTALL_PREFIX=${FREEGLUT_PREFIX};-DFREEGLUT_BUILD_SHARED_LIBS=OFF;-DFREEGLUT_BUILD_DEMOS=OFF;-DFREEGLUT_REPLACE_GLUT=ON;-DCMAKE_POLICY_VERSION_MINIMUM=3.5"
          "--build;${work}/build;--parallel;${cores}"
          "--install;${work}/build")
    math(EXPR log "${log} + 1")
    execute_process(COMMAND ${CMAKE_COMMAND} ${step} OUTPUT_FILE ${work}/step${log}.log
                    ERROR_FILE ${work}/step${log}.errors RESULT_VARIABLE failed)
    if(failed)
      file(READ ${work}/step${log}.errors errors)
      message(FATAL_ERROR "building freeglut failed at cmake ${step}:\n${errors}")
    endif()
  endforeach()
endif()
find_package(FreeGLUT CONFIG REQUIRED PATHS ${FREEGLUT_PREFIX} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
add_library(GLUT::GLUT ALIAS FreeGLUT::freeglut_static)
# The C and C++ runtimes go into the program too: it needs no DLL that Windows does not ship.
add_link_options(-static)
# The linker leaves the time of the link out of the program's header, so that every build of the
# same sources writes the same bytes.
add_link_options(LINKER:--no-insert-timestamp)
# The program and freeglut share that one C runtime, so glutInit needs no exit function handed to it.
set_property(TARGET FreeGLUT::freeglut_static APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS GLUT_DISABLE_ATEXIT_HACK)

# GL functions are declared as plain functions, not DLL imports, so that a call links to whatever
# the link supplies: opengl32's import library in the program, the recording fake in the tests.
# (MinGW's headers declare them so for the GDI's own build, which _GDI32_ stands for.)
add_compile_definitions(_GDI32_)

# A program of the Windows desktop, not of the console: a double-click opens the viewer and nothing
# beside it. Its icon and version resources (windows/mirovale.rc.in) go in through MinGW-w64's
# resource compiler; the icon is made from the project's icon at build time (windows/icon.sh).
enable_language(RC)
foreach(tool pngtopam pamscale pamtopng icotool)
  find_program(${tool}_PROGRAM ${tool})
  if(NOT ${tool}_PROGRAM)
    message(FATAL_ERROR "The Windows build makes its icon with netpbm and icoutils: install these Debian packages "
                        "(tools/packages.sh windows does) and configure again.")
  endif()
endforeach()
set(MIROVALE_ICON ${CMAKE_BINARY_DIR}/icon/mirovale.ico)
add_custom_command(OUTPUT ${MIROVALE_ICON}
  COMMAND ${PROJECT_SOURCE_DIR}/windows/icon.sh ${PROJECT_SOURCE_DIR}/packaging/mirovale.png ${CMAKE_BINARY_DIR}/icon
  DEPENDS ${PROJECT_SOURCE_DIR}/windows/icon.sh ${PROJECT_SOURCE_DIR}/packaging/mirovale.png
  COMMENT "Making the Windows icon from packaging/mirovale.png")
add_custom_target(windows_icon DEPENDS ${MIROVALE_ICON})
configure_file(${PROJECT_SOURCE_DIR}/windows/mirovale.rc.in ${CMAKE_BINARY_DIR}/mirovale.rc @ONLY)

# Its manifest (windows/mirovale.manifest, in the resources) says it runs on Windows 10 and 11 and
# knows the system's DPI, so that Windows does not stretch its picture on a scaled desktop; the
# window is then sized in the desktop's units by windows/window_scale.cpp, through which the
# viewer's one request for a window size goes.
# Set once the program's target exists.
function(mirovale_windows_targets)
  set_target_properties(mirovale PROPERTIES WIN32_EXECUTABLE ON)
  target_sources(mirovale PRIVATE ${CMAKE_BINARY_DIR}/mirovale.rc ${PROJECT_SOURCE_DIR}/windows/window_scale.cpp)
  target_link_options(mirovale PRIVATE "LINKER:--wrap=glutInitWindowSize")
  add_dependencies(mirovale windows_icon)
  # The resource compiler reads the icon, so a new icon compiles the resources again.
  set_source_files_properties(${CMAKE_BINARY_DIR}/mirovale.rc TARGET_DIRECTORY mirovale
                              PROPERTIES OBJECT_DEPENDS "${MIROVALE_ICON};${PROJECT_SOURCE_DIR}/windows/mirovale.manifest")
endfunction()
cmake_language(DEFER CALL mirovale_windows_targets)
