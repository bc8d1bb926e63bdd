# Checks that SOURCES (a list) keep the house layout, with the clang-format this release packages
# (FORMATTER); where it lays a file out differently, it says which version it is and what differs.
execute_process(COMMAND ${FORMATTER} --version OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${FORMATTER} --dry-run --Werror ${SOURCES} RESULT_VARIABLE failed ERROR_VARIABLE differences)
if(failed)
  message(FATAL_ERROR "${version} lays these sources out differently:\n${differences}")
endif()
message(STATUS "${version}: every source keeps the layout")
