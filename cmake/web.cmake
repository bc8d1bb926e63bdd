# What building for the browser takes, all in one place: Debian's Emscripten turns the viewer into
# a page, build-web/index.html, that loads index.js and index.wasm and reads the sample.raw beside
# it. GL is Emscripten's emulation of the fixed-function pipeline on WebGL and GLUT its own, each
# with what web/ adds to them; the shared code keeps the calls it makes on the desktop.
# (The web preset adds Debian's own Node.js modules to NODE_PATH: emcc needs their acorn, and a
# Node.js from outside Debian, such as NodeSource's, does not look there.)
set(WEB_DIR ${PROJECT_SOURCE_DIR}/web)

add_library(web_platform STATIC ${WEB_DIR}/platform.cpp)
# It hands the view over when the page starts the program again (web/page.js).
target_include_directories(web_platform PRIVATE ${PROJECT_SOURCE_DIR})

# The emulation's glBegin, glEnd, glutInit and glutReshapeFunc, reached by web/platform.cpp through
# the names the linker gives them, so that it can stand in front of them; and its
# glutInitWindowSize, which web/platform.cpp stands in for; and web/canvas.js, the page's own
# listeners for the pointer, and the canvas's size.
add_library(OpenGL::GL INTERFACE IMPORTED)
target_link_libraries(OpenGL::GL INTERFACE web_platform)
target_link_options(OpenGL::GL INTERFACE -sLEGACY_GL_EMULATION=1 -lGL
                    "LINKER:--wrap=glBegin,--wrap=glEnd")
add_library(GLUT::GLUT INTERFACE IMPORTED)
target_link_libraries(GLUT::GLUT INTERFACE OpenGL::GL)
target_link_options(GLUT::GLUT INTERFACE -lglut "SHELL:--js-library ${WEB_DIR}/canvas.js"
                    "LINKER:--wrap=glutInit,--wrap=glutInitWindowSize,--wrap=glutReshapeFunc")

set(CMAKE_EXECUTABLE_SUFFIX .html)

# Set once every folder's targets exist.
function(mirovale_web_targets)
  # The page: web/index.html around the program, which web/page.js sets up. (Debian 12's emcc
  # stops in its HTML minifier, so the page is left as written.)
  set_target_properties(mirovale PROPERTIES OUTPUT_NAME index)
  target_link_options(mirovale PRIVATE -sENVIRONMENT=web -sMINIFY_HTML=0 "SHELL:--shell-file ${WEB_DIR}/index.html"
                      "SHELL:--pre-js ${WEB_DIR}/page.js")
  set_property(TARGET mirovale APPEND PROPERTY LINK_DEPENDS
               ${WEB_DIR}/index.html ${WEB_DIR}/page.js ${WEB_DIR}/canvas.js)
  # What a browser needs to install the page and open it offline: its web app manifest, its icons,
  # made from the project's icon drawn at 512 pixels (netpbm scales it to 192), and its service
  # worker, whose cache is named for this build's parts (web/service_worker.cmake).
  set(web ${CMAKE_BINARY_DIR})
  foreach(tool pngtopam pamscale pamtopng)
    find_program(${tool}_PROGRAM ${tool})
    if(NOT ${tool}_PROGRAM)
      message(FATAL_ERROR "The page's icons are made with netpbm: install it (tools/packages.sh web does) and configure again.")
    endif()
  endforeach()
  add_custom_command(OUTPUT ${web}/manifest.webmanifest ${web}/icon-512.png ${web}/icon-192.png
    COMMAND ${CMAKE_COMMAND} -E copy ${WEB_DIR}/manifest.webmanifest ${web}/manifest.webmanifest
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/mirovale-512.png ${web}/icon-512.png
    COMMAND sh -c "pngtopam \"$0\" | pamscale -width 192 -height 192 | pamtopng >\"$1\""
            ${PROJECT_SOURCE_DIR}/packaging/mirovale-512.png ${web}/icon-192.png
    DEPENDS ${WEB_DIR}/manifest.webmanifest ${PROJECT_SOURCE_DIR}/packaging/mirovale-512.png
    COMMENT "Making the page's manifest and icons" VERBATIM)
  add_custom_command(OUTPUT ${web}/service-worker.js
    COMMAND ${CMAKE_COMMAND} -DTEMPLATE=${WEB_DIR}/service-worker.js -DFOLDER=${web} -P ${WEB_DIR}/service_worker.cmake
    DEPENDS mirovale ${web}/manifest.webmanifest ${web}/icon-512.png ${web}/icon-192.png
            ${WEB_DIR}/service-worker.js ${WEB_DIR}/service_worker.cmake
    COMMENT "Naming the page's service worker for this build" VERBATIM)
  add_custom_target(installable_page ALL DEPENDS ${web}/service-worker.js)
  # Installed, the page is its eight files alone, beside each other, none of them a program to run:
  # the terrain goes there as on Windows, and these with it. Nothing of the build's own goes.
  install(FILES ${web}/index.html ${web}/index.js ${web}/index.wasm ${web}/manifest.webmanifest
                ${web}/icon-192.png ${web}/icon-512.png ${web}/service-worker.js DESTINATION .)
endfunction()
cmake_language(DEFER CALL mirovale_web_targets)
