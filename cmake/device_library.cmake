# One shared library of the player device.
#
#   tolmek_device_library(target NAME name
#                         SOURCES ...           # implementation files
#                         VERSION_SCRIPT file   # exactly the interface names
#                         EXPECTED_EXPORTS file # the same names, kept by the test
#                         DEPENDENCIES dep::...)
#
# The library is libtolmek-<name>.so.2. It compiles against the headers of
# its dependencies but does not link them: they and the host services stay
# undefined and bind at load time to what the loading process provides. No
# C++ runtime is linked (the C driver links it), so the code may only use
# header-only standard facilities. An ABI test checks the result.

function(tolmek_device_library target)
  cmake_parse_arguments(PARSE_ARGV 1 L "" "NAME;VERSION_SCRIPT;EXPECTED_EXPORTS"
                        "SOURCES;DEPENDENCIES")
  add_library(${target} SHARED ${L_SOURCES})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME tolmek-${L_NAME}
    SOVERSION 2
    VERSION 2
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINKER_LANGUAGE C
    LINK_DEPENDS ${L_VERSION_SCRIPT})
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>)
  if(TOLMEK_SANITIZE)
    # vptr checks need RTTI, which the libraries do without.
    target_compile_options(${target} PRIVATE -fno-sanitize=vptr)
  endif()
  # --as-needed drops the C++ runtime that CMake adds for C++ sources (and
  # the sanitizer flags would otherwise keep).
  target_link_options(${target} PRIVATE -Wl,--as-needed
    -Wl,--version-script=${L_VERSION_SCRIPT} -Wl,--no-undefined-version)
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE tolmek_host_headers)
  foreach(dep IN LISTS L_DEPENDENCIES)
    target_include_directories(${target} PRIVATE
      $<TARGET_PROPERTY:${dep},INTERFACE_INCLUDE_DIRECTORIES>)
  endforeach()

  set(providers ${TOLMEK_LIBC} ${TOLMEK_LIBGCC_S})
  foreach(dep IN LISTS L_DEPENDENCIES)
    list(APPEND providers $<TARGET_PROPERTY:${dep},IMPORTED_LOCATION>)
  endforeach()
  set(extra_needed "")
  if(TOLMEK_SANITIZE)
    # The sanitizer build carries its runtimes and their entry points.
    set(extra_needed "libasan\\.so\\.[0-9]+|libubsan\\.so\\.[0-9]+")
  endif()
  add_test(NAME ${target}.abi
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/abi/check_library.sh
      --library $<TARGET_FILE:${target}>
      --soname libtolmek-${L_NAME}.so.2
      --exports ${L_EXPECTED_EXPORTS}
      --host-services ${PROJECT_SOURCE_DIR}/host/services.list
      --extra-needed "${extra_needed}"
      --providers "${providers}")
  set(labels unit abi)
  if(NOT TOLMEK_FLAVOUR STREQUAL "native")
    list(APPEND labels ${TOLMEK_FLAVOUR})
  endif()
  set_tests_properties(${target}.abi PROPERTIES LABELS "${labels}")
endfunction()
