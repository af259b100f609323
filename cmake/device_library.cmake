# One shared library of the player device.
#
#   tolmek_device_library(target NAME name
#                         SOURCES ...           # implementation files
#                         DEPENDENCIES dep::...
#                         [EXPORTS file]        # exactly the interface names, with their kinds
#                         [IMPORTS file]        # dependency functions it may use
#                         [PUBLIC_HEADER file]  # installed under include/tolmek
#                         [DESCRIPTION text])   # for its pkg-config file
#
# The library is libtolmek-<name>.so.2. It compiles against the headers of
# its dependencies but does not link them: they and the host services stay
# undefined and bind at load time to what the loading process provides. No
# C++ runtime is linked (the C driver links it), so the code may only use
# header-only standard facilities. On the device it links against the C
# library stub of device_libc.cmake and libgcc.a, nothing else.
#
# EXPORTS defaults to exports.list, IMPORTS to imports.list and
# PUBLIC_HEADER to tolmek_<name>.h, beside the calling CMakeLists.txt. The
# linker's version script is generated from EXPORTS, so the names are
# written once. An ABI test checks the built file against EXPORTS, IMPORTS,
# the C library allowlist and the host services; the install rules put the
# library, its development link, its header and tolmek-<name>.pc in the
# install tree.

include(device_libc)

function(tolmek_device_library target)
  cmake_parse_arguments(PARSE_ARGV 1 L ""
    "NAME;EXPORTS;IMPORTS;PUBLIC_HEADER;DESCRIPTION"
    "SOURCES;DEPENDENCIES")
  if(NOT L_EXPORTS)
    set(L_EXPORTS ${CMAKE_CURRENT_SOURCE_DIR}/exports.list)
  endif()
  if(NOT L_IMPORTS)
    set(L_IMPORTS ${CMAKE_CURRENT_SOURCE_DIR}/imports.list)
  endif()
  if(NOT L_PUBLIC_HEADER)
    set(L_PUBLIC_HEADER ${CMAKE_CURRENT_SOURCE_DIR}/tolmek_${L_NAME}.h)
  endif()
  if(NOT L_DESCRIPTION)
    set(L_DESCRIPTION "libtolmek-${L_NAME}, a device library of the ovra player")
  endif()
  set(version_script ${CMAKE_CURRENT_BINARY_DIR}/exports.map)
  tolmek_write_version_script(${L_EXPORTS} ${version_script})

  add_library(${target} SHARED ${L_SOURCES})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME tolmek-${L_NAME}
    SOVERSION 2
    VERSION 2
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINKER_LANGUAGE C
    SKIP_BUILD_RPATH ON
    LINK_DEPENDS ${version_script})
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>)
  if(TOLMEK_SANITIZE)
    # vptr checks need RTTI, which the libraries do without.
    target_compile_options(${target} PRIVATE -fno-sanitize=vptr)
  endif()
  # --as-needed drops the C++ runtime that CMake adds for C++ sources (and
  # the sanitizer flags would otherwise keep).
  target_link_options(${target} PRIVATE -Wl,--as-needed
    -Wl,--version-script=${version_script} -Wl,--no-undefined-version)
  if(TOLMEK_FLAVOUR STREQUAL "mipsel")
    # The device's C library has neither fortify variants nor stack
    # protector hooks to call.
    target_compile_options(${target} PRIVATE -fno-stack-protector -U_FORTIFY_SOURCE)
    target_link_options(${target} PRIVATE -nodefaultlibs
      INTERFACE -Wl,-rpath-link,${TOLMEK_DEVICE_LIBC_LINK_DIR})
    # -Wl, keeps the stub's path: CMake would turn it into -lc, glibc's.
    target_link_libraries(${target} PRIVATE -Wl,${TOLMEK_DEVICE_LIBC_STUB} gcc)
    add_dependencies(${target} tolmek_device_libc_stub)
  endif()
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE tolmek_host_headers)
  foreach(dep IN LISTS L_DEPENDENCIES)
    target_include_directories(${target} PRIVATE
      $<TARGET_PROPERTY:${dep},INTERFACE_INCLUDE_DIRECTORIES>)
  endforeach()

  tolmek_device_library_abi_test(${target} ${L_NAME} ${L_EXPORTS} ${L_IMPORTS})
  tolmek_device_library_install(${target} ${L_NAME} "${L_PUBLIC_HEADER}" "${L_DESCRIPTION}"
    "${L_DEPENDENCIES}")
endfunction()

# The linker's version script: the names of the export list global,
# everything else local. Rewritten only when the names change.
function(tolmek_write_version_script exports output)
  tolmek_read_names(${exports} names)
  list(JOIN names ";\n    " globals)
  file(CONFIGURE OUTPUT ${output} @ONLY CONTENT
    "/* Generated from ${exports}. */\n{\n  global:\n    ${globals};\n  local:\n    *;\n};\n")
endfunction()

function(tolmek_device_library_abi_test target name exports imports)
  set(extra_needed "")
  if(TOLMEK_SANITIZE)
    # The sanitizer build carries its runtimes and their entry points.
    set(extra_needed --extra-needed "libasan\\.so\\.[0-9]+|libubsan\\.so\\.[0-9]+")
  endif()
  if(TOLMEK_FLAVOUR STREQUAL "mipsel")
    set(libc --libc libc.so.0 --device)
  else()
    set(libc --libc libc.so.6)
  endif()
  tolmek_add_test(NAME ${target}.abi LABELS unit abi
    SCRIPT ${PROJECT_SOURCE_DIR}/tests/abi/check_library.sh
    ARGS --library $<TARGET_FILE:${target}>
      --soname libtolmek-${name}.so.2
      --exports ${exports}
      --imports ${imports}
      --libc-functions ${TOLMEK_DEVICE_LIBC_LIST}
      --host-services ${PROJECT_SOURCE_DIR}/host/services.list
      ${extra_needed} ${libc})
endfunction()

# The library, its development link, its header and a pkg-config file whose
# Requires names the dependency packages, so that a host linking the
# library links them too: the library itself leaves them to the host.
function(tolmek_device_library_install target name header description dependencies)
  install(TARGETS ${target} LIBRARY DESTINATION lib)
  if(EXISTS ${header})
    install(FILES ${header} DESTINATION include/tolmek)
  endif()
  set(requires "")
  foreach(dep IN LISTS dependencies)
    get_target_property(package ${dep} TOLMEK_PKG_CONFIG)
    list(APPEND requires ${package})
  endforeach()
  list(JOIN requires " " TOLMEK_PC_REQUIRES)
  set(TOLMEK_PC_NAME ${name})
  set(TOLMEK_PC_DESCRIPTION ${description})
  set(pc ${CMAKE_BINARY_DIR}/pkgconfig/tolmek-${name}.pc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/tolmek.pc.in ${pc} @ONLY)
  install(FILES ${pc} DESTINATION lib/pkgconfig)
endfunction()
