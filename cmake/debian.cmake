# What a Debian system takes beyond the program and its terrain, all in one place: the hardening
# Debian builds its own programs with; a menu entry that starts the viewer beside the bundled
# terrain, its icon and its manual page, installed with it; and the Debian package that
# cpack --preset deb makes of them all from the release build, the same bytes however often.
set(PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

# The Debian architecture the program is built for: this machine's, or, cross-built, the one of
# the toolchain file's target (cmake/aarch64-linux-gnu.cmake), which dpkg's tools are then told.
set(debian_host "")
if(CMAKE_CROSSCOMPILING)
  execute_process(COMMAND dpkg-architecture -t ${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
                  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  set(debian_host DEB_HOST_ARCH=${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
endif()

# Optimised builds take the flags that dpkg-buildflags gives for this release, with every hardening
# feature on, as Debian asks of programs that read files users hand them: the stack protector,
# _FORTIFY_SOURCE, full RELRO with BIND_NOW and whatever else the release lists. Asked from the top
# of the checkout, they also write its paths into the program as '.', so that where it was built
# leaves no trace. Elsewhere than Debian the build goes on without them.
# Cross-built, they are the flags for the architecture the build is for (each has its own, such as
# its branch protection).
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(DPKG_BUILDFLAGS)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${debian_host}
                            ${DPKG_BUILDFLAGS} --get ${kind}
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE ${kind} OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  foreach(config RELEASE RELWITHDEBINFO MINSIZEREL)
    string(APPEND CMAKE_CXX_FLAGS_${config} " ${CPPFLAGS} ${CXXFLAGS}")
    string(APPEND CMAKE_EXE_LINKER_FLAGS_${config} " ${LDFLAGS}")
  endforeach()
else()
  message(NOTICE "dpkg-buildflags (Debian package dpkg-dev) not found: optimised builds go without Debian's hardening")
endif()

# The window opens 512 x 512 in the desktop's own units, which a scaled desktop keeps in the X
# server's resources: linux/window_scale.cpp reads them there, and the viewer's one request for a
# window size goes through it.
find_package(X11 REQUIRED)
function(mirovale_linux_targets)
  target_sources(mirovale PRIVATE ${PROJECT_SOURCE_DIR}/linux/window_scale.cpp)
  target_link_libraries(mirovale PRIVATE X11::X11)
  target_link_options(mirovale PRIVATE "LINKER:--wrap=glutInitWindowSize")
endfunction()
cmake_language(DEFER CALL mirovale_linux_targets)

# The manual page, headed with this version and compressed as Debian keeps them (without a time
# stamp, so that every build writes the same bytes).
configure_file(${PACKAGING_DIR}/mirovale.1 ${CMAKE_BINARY_DIR}/mirovale.1 @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/mirovale.1.gz
  COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/mirovale.1 > ${CMAKE_BINARY_DIR}/mirovale.1.gz
  DEPENDS ${CMAKE_BINARY_DIR}/mirovale.1
  COMMENT "Compressing the manual page")
add_custom_target(manual_page ALL DEPENDS ${CMAKE_BINARY_DIR}/mirovale.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/mirovale.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PACKAGING_DIR}/mirovale.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)

# The menu entry names the folder of the bundled terrain, which is known only once the prefix is:
# it is written as it is installed.
install(CODE "
  set(MIROVALE_DATA_PATH \"\${CMAKE_INSTALL_PREFIX}/${MIROVALE_DATA_DIR}\")
  configure_file(${PACKAGING_DIR}/mirovale.desktop ${CMAKE_BINARY_DIR}/installed/mirovale.desktop
                 @ONLY NO_SOURCE_PERMISSIONS)
  file(INSTALL ${CMAKE_BINARY_DIR}/installed/mirovale.desktop
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")")

# The changelog and the copyright, where Debian keeps them for every package.
set(docs ${CMAKE_INSTALL_DATADIR}/doc/mirovale)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND gzip -9 -n -c ${PACKAGING_DIR}/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
  DEPENDS ${PACKAGING_DIR}/changelog
  COMMENT "Compressing the changelog")
add_custom_target(changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${PACKAGING_DIR}/copyright DESTINATION ${docs})

# The package: its dependencies come from the program's own libraries (dpkg-shlibdeps), which
# bring GLUT, GL and, through them, Mesa's drivers.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mirovale)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# It installs under /usr, and the menu entry is written for there. Its folders are 0755 whatever
# the umask of whoever makes it (Debian 13 gives users 002).
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# cpack reads its environment from a file of the build's, first:
# - every time stamp in the package is the changelog's date, as in Debian's own builds, unless
#   SOURCE_DATE_EPOCH says otherwise: packed again, from the same files, it is the same bytes;
# - cross-built, dpkg-shlibdeps looks for the libraries the program needs among those of its own
#   architecture, and names their packages there.
set(package_environment "")
find_program(DPKG_PARSECHANGELOG dpkg-parsechangelog)
if(DPKG_PARSECHANGELOG)
  execute_process(COMMAND ${DPKG_PARSECHANGELOG} -l ${PACKAGING_DIR}/changelog -S Timestamp
                  OUTPUT_VARIABLE changelog_date OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  string(APPEND package_environment
         "if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})\n  set(ENV{SOURCE_DATE_EPOCH} ${changelog_date})\nendif()\n")
endif()
if(CMAKE_CROSSCOMPILING)
  string(APPEND package_environment "set(ENV{DEB_HOST_ARCH} ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})\n")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/package_environment.cmake "${package_environment}")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/package_environment.cmake)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_CONTACT "Mirovale maintainers <maintainers@users.noreply.c-seed-c83b1960.example>")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "heightmap viewer with a mouse-driven wireframe
Mirovale opens one window and shows a terrain heightmap, a sample.raw of
257 x 257 bytes, as a white wireframe of triangles through a perspective
camera. Dragging with the left button turns the terrain; dragging with the
right button moves the camera nearer or farther.

It comes with a terrain of its own and a menu entry that shows it.")
