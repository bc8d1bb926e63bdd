# Configures SOURCE with GoogleTest hidden, as on a machine without it: a plain configure names
# the missing package and goes on with the viewer alone; one that requires the tests stops.
set(dir ${BUILD}/configure-check)
foreach(required OFF ON)
  file(REMOVE_RECURSE ${dir})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${dir} -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
            -DMIROVALE_REQUIRE_TESTS=${required}
    RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT out MATCHES "The tests need these Debian packages: libgtest-dev\\.")
    message(FATAL_ERROR "configure did not name the missing package:\n${out}")
  endif()
  if(required AND NOT failed)
    message(FATAL_ERROR "configure went on without the tests it was asked for")
  endif()
  if(NOT required AND (failed OR NOT EXISTS ${dir}/Makefile))
    message(FATAL_ERROR "configure did not go on with the viewer alone:\n${out}")
  endif()
endforeach()
file(REMOVE_RECURSE ${dir})
