# GoogleTest for every flavour and one helper to declare a test program.
#
#   tolmek_add_test(NAME name SOURCES ... [LIBRARIES ...] [LABELS ...]
#                   [ARGS ...] [FIXTURES ...] [ENVIRONMENT ...] [OWN_MAIN])
#   tolmek_add_test(NAME name SCRIPT file | COMMAND ... [LABELS ...] [ARGS ...]
#                   [FIXTURES ...] [ENVIRONMENT ...])
#
# Builds a GoogleTest program and registers it with CTest, or registers a
# bash script (a path from the calling folder) or a command with its
# arguments. OWN_MAIN: the sources define main (to take arguments) instead
# of GoogleTest's. The flavour is added as a label (windows, mipsel);
# cross-built programs run through the flavour's emulator (wine, qemu)
# automatically.

if(TOLMEK_FLAVOUR STREQUAL "native")
  find_package(GTest REQUIRED)
else()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # Built from the sources Debian installs; they define the GTest:: names.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

set(TOLMEK_TEST_ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")

function(tolmek_add_test)
  cmake_parse_arguments(PARSE_ARGV 0 T "OWN_MAIN" "NAME;SCRIPT"
                        "SOURCES;LIBRARIES;LABELS;ARGS;FIXTURES;ENVIRONMENT;COMMAND")
  if(T_COMMAND)
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND} ${T_ARGS})
  elseif(T_SCRIPT)
    cmake_path(ABSOLUTE_PATH T_SCRIPT BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    add_test(NAME ${T_NAME} COMMAND bash ${T_SCRIPT} ${T_ARGS})
  else()
    add_executable(${T_NAME} ${T_SOURCES})
    if(T_OWN_MAIN)
      target_link_libraries(${T_NAME} PRIVATE ${T_LIBRARIES} GTest::gtest GTest::gmock)
    else()
      target_link_libraries(${T_NAME} PRIVATE ${T_LIBRARIES} GTest::gtest_main GTest::gmock)
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} ${T_ARGS})
  endif()
  set(labels ${T_LABELS})
  if(NOT TOLMEK_FLAVOUR STREQUAL "native")
    list(APPEND labels ${TOLMEK_FLAVOUR})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    LABELS "${labels}"
    ENVIRONMENT "${TOLMEK_TEST_ENVIRONMENT};${T_ENVIRONMENT}"
    TIMEOUT 600)
  if(T_FIXTURES)
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED "${T_FIXTURES}")
  endif()
endfunction()

# A Google Benchmark program, built only in the optimised native flavour
# and never run by the tests: run it by hand to measure.
#   tolmek_add_benchmark(NAME name SOURCES ... [LIBRARIES ...])
function(tolmek_add_benchmark)
  cmake_parse_arguments(PARSE_ARGV 0 B "" "NAME" "SOURCES;LIBRARIES")
  if(NOT TOLMEK_FLAVOUR STREQUAL "native" OR TOLMEK_SANITIZE)
    return()
  endif()
  find_package(benchmark REQUIRED)
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBRARIES} benchmark::benchmark)
endfunction()
