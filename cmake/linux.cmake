# What a Linux system takes beyond the program and its terrain, all in one place: the desktop's
# scale, read from the X server; and a menu entry that starts the viewer beside the bundled terrain,
# its icon and its manual page, installed with it. Packaging them, with hardening, compression and
# the rest, is the packager's: debian/ holds Debian's.
set(PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

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

# The manual page, headed with this version.
configure_file(${PACKAGING_DIR}/mirovale.1 ${CMAKE_BINARY_DIR}/mirovale.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/mirovale.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PACKAGING_DIR}/mirovale.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)

# The menu entry names the folder of the bundled terrain, which is known only once the prefix is:
# it is written as it is installed.
install(CODE "
  set(MIROVALE_DATA_PATH \"\${CMAKE_INSTALL_PREFIX}/${MIROVALE_DATA_DIR}\")
  configure_file(${PACKAGING_DIR}/mirovale.desktop ${CMAKE_BINARY_DIR}/installed/mirovale.desktop
                 @ONLY NO_SOURCE_PERMISSIONS)
  file(INSTALL ${CMAKE_BINARY_DIR}/installed/mirovale.desktop
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")")
