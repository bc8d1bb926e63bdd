# Writes the page's service worker, FOLDER/service-worker.js, from TEMPLATE, with its cache named for
# the build: the first 16 hex digits of a SHA-256 over the page's parts in FOLDER (those the worker
# keeps), so that a change to any of them gives another name, and so another worker, which a browser
# takes up on the next visit.
# Usage: cmake -DTEMPLATE=web/service-worker.js -DFOLDER=build-web -P web/service_worker.cmake
file(STRINGS ${TEMPLATE} parts REGEX "^var PARTS = ")
string(REGEX MATCHALL "'[^']+'" parts "${parts}")
if(NOT parts)
  message(FATAL_ERROR "${TEMPLATE} names no parts of the page (var PARTS = [...])")
endif()
set(digests "")
foreach(part IN LISTS parts)
  string(REPLACE "'" "" part ${part})
  file(SHA256 ${FOLDER}/${part} digest)
  string(APPEND digests ${digest})
endforeach()
string(SHA256 BUILD "${digests}")
string(SUBSTRING ${BUILD} 0 16 BUILD)
configure_file(${TEMPLATE} ${FOLDER}/service-worker.js @ONLY)
