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

# The AppStream metadata that software centres list the viewer by, before it is installed. Its ID
# names it there for good, so it never changes; it is lower-case, as AppStream asks.
set(MIROVALE_APPSTREAM_ID org.mirovale.mirovale)
# The name, summary, icon, categories and keywords are the menu entry's, so the two always agree.
file(READ ${PACKAGING_DIR}/mirovale.desktop entry)
foreach(key Name Comment Icon Categories Keywords)
  string(REGEX MATCH "\n${key}=([^\n]*)" line "${entry}")
  string(TOUPPER ${key} name)
  set(MIROVALE_ENTRY_${name} "${CMAKE_MATCH_1}")
endforeach()
list(TRANSFORM MIROVALE_ENTRY_CATEGORIES REPLACE "(.+)" "    <category>\\1</category>")
list(TRANSFORM MIROVALE_ENTRY_KEYWORDS REPLACE "(.+)" "    <keyword>\\1</keyword>")
list(REMOVE_ITEM MIROVALE_ENTRY_CATEGORIES "")
list(REMOVE_ITEM MIROVALE_ENTRY_KEYWORDS "")
list(JOIN MIROVALE_ENTRY_CATEGORIES "\n" MIROVALE_CATEGORIES)
list(JOIN MIROVALE_ENTRY_KEYWORDS "\n" MIROVALE_KEYWORDS)

# The project's home is debian/control's Homepage, the one place its address is written; there is
# none until the project has a home. With one, the metadata names it, and a screenshot published
# there as screenshot.png (docs/screenshot.png), which AppStream needs at an address of its own.
file(READ ${PROJECT_SOURCE_DIR}/debian/control control)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  debian/control ${PACKAGING_DIR}/mirovale.desktop ${PACKAGING_DIR}/mirovale.metainfo.xml)
set(MIROVALE_HOME_ELEMENTS "")
if(control MATCHES "\nHomepage:[ \t]*([^\n]*)")
  set(home "${CMAKE_MATCH_1}")
  if(NOT home MATCHES "^https?://[^ \t<>\"&]+$")
    message(FATAL_ERROR "debian/control's Homepage is no plain http:// or https:// address: ${home}")
  endif()
  string(REGEX REPLACE "/$" "" screenshot "${home}")
  string(APPEND screenshot /screenshot.png)
  string(CONCAT MIROVALE_HOME_ELEMENTS
    "\n  <url type=\"homepage\">${home}</url>\n"
    "  <screenshots>\n"
    "    <screenshot type=\"default\">\n"
    "      <caption>The bundled terrain, tilted so that its upper side faces the viewer</caption>\n"
    "      <image>${screenshot}</image>\n"
    "    </screenshot>\n"
    "  </screenshots>")
endif()

# The releases are debian/changelog's entries, newest first as AppStream lists them: each version,
# the day it was made, and what its entry says. The text is escaped for XML first; the characters
# CMake's lists treat as their own (; [ ]) become character references, which read the same.
file(READ ${PROJECT_SOURCE_DIR}/debian/changelog changelog)
foreach(special "&;&amp;" "<;&lt;" ">;&gt;" "\\;;&#59;" "[;&#91;" "];&#93;")
  string(REGEX MATCH "^(.*);(.*)$" pair "${special}")
  string(REPLACE "${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" changelog "${changelog}")
endforeach()
string(REPLACE "\n" ";" changelog "${changelog}")
set(MIROVALE_RELEASES "")
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
foreach(line IN LISTS changelog)
  if(line MATCHES "^mirovale \\(([^)]+)\\)")
    set(version "${CMAKE_MATCH_1}")
    set(items "")
  elseif(line MATCHES "^  \\* (.*)$")
    list(APPEND items "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^    +(.*)$" AND items)
    list(POP_BACK items item)
    list(APPEND items "${item} ${CMAKE_MATCH_1}")
  elseif(line MATCHES "^ -- .*  [A-Z][a-z][a-z], +([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+) ")
    list(FIND months ${CMAKE_MATCH_2} month)
    math(EXPR month "${month} + 1")
    set(date "${CMAKE_MATCH_3}-0${month}-0${CMAKE_MATCH_1}")
    string(REGEX REPLACE "-0?([0-9][0-9])-0?([0-9][0-9])$" "-\\1-\\2" date "${date}")
    list(TRANSFORM items REPLACE "(.+)" "          <li>\\1</li>")
    list(JOIN items "\n" items)
    string(APPEND MIROVALE_RELEASES
      "    <release version=\"${version}\" date=\"${date}\">\n"
      "      <description>\n        <ul>\n${items}\n        </ul>\n      </description>\n"
      "    </release>\n")
  endif()
endforeach()
string(REGEX REPLACE "\n$" "" MIROVALE_RELEASES "${MIROVALE_RELEASES}")
set(metainfo ${CMAKE_BINARY_DIR}/${MIROVALE_APPSTREAM_ID}.metainfo.xml)
configure_file(${PACKAGING_DIR}/mirovale.metainfo.xml ${metainfo} @ONLY)
install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
