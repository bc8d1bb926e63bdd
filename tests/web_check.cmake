# Checks that the page's scripts (SOURCES, a list) use nothing inside Emscripten's own GLUT and
# Browser objects, whose members change from one release to the next: no member read or replaced,
# and neither object asked for as a library's dependency. Each use is named, with its file.
set(uses "")
foreach(source IN LISTS SOURCES)
  file(STRINGS ${source} lines REGEX "(^|[^A-Za-z0-9_$'])(GLUT|Browser)(\\.|\\[)|['\"]\\$(GLUT|Browser)['\"]")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    string(APPEND uses "\n${source}: ${line}")
  endforeach()
endforeach()
if(uses)
  message(FATAL_ERROR "The page uses Emscripten's own GLUT or Browser objects:${uses}")
endif()
message(STATUS "The page uses nothing inside Emscripten's GLUT or Browser objects")
