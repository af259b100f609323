# The device's C library, for the mipsel flavour.
#
# The device runs a uClibc-style C library whose soname is libc.so.0. The
# device libraries link against a stub of it made from device_libc.list:
# they record exactly libc.so.0, with unversioned references, and can only
# import the functions of that reviewed list.
#
# Under qemu the very same files load against the sysroot's C library: a
# directory on the emulator's library path holds libc.so.0 as an alias of
# it, and the loader takes the alias for the C library it already has.

set(TOLMEK_DEVICE_LIBC_LIST ${CMAKE_CURRENT_LIST_DIR}/device_libc.list)

# The names of a list file: one per line, # starts a comment.
function(tolmek_read_names list_file out)
  file(STRINGS ${list_file} lines REGEX "^[A-Za-z_]")
  list(TRANSFORM lines REPLACE "[ \t#].*" "")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
  set(${out} ${lines} PARENT_SCOPE)
endfunction()

# Writes a C file that defines each name as an empty function: stand-ins
# that satisfy the linker or the loader and are never called.
function(tolmek_write_stubs output comment)
  set(names ${ARGN})
  list(TRANSFORM names REPLACE "(.+)" "void \\1(void) {}\n" OUTPUT_VARIABLE definitions)
  string(JOIN "" definitions ${definitions})
  file(GENERATE OUTPUT ${output} CONTENT "/* ${comment} */\n${definitions}")
endfunction()

if(NOT TOLMEK_FLAVOUR STREQUAL "mipsel")
  return()
endif()

# Link-time stub: every allowed function, with an empty body. Never loaded.
# Linked by its file name, not as a target, so that no run path of a
# program points to it.
tolmek_read_names(${TOLMEK_DEVICE_LIBC_LIST} libc_functions)
set(stub_dir ${CMAKE_BINARY_DIR}/device-libc/stub)
tolmek_write_stubs(${stub_dir}/libc_stub.c
  "Generated from device_libc.list: link-time stub of libc.so.0." ${libc_functions})
add_library(tolmek_device_libc_stub SHARED ${stub_dir}/libc_stub.c)
set_target_properties(tolmek_device_libc_stub PROPERTIES
  OUTPUT_NAME c SUFFIX .so.0 NO_SONAME ON
  LIBRARY_OUTPUT_DIRECTORY ${stub_dir})
target_compile_options(tolmek_device_libc_stub PRIVATE -fno-builtin -w)
target_link_options(tolmek_device_libc_stub PRIVATE -nostdlib -Wl,-soname,libc.so.0)
set(TOLMEK_DEVICE_LIBC_STUB ${stub_dir}/libc.so.0)

# libc.so.0 as an alias of a C library the loading program has already:
#  - run: the sysroot's, first on the emulator's library path;
#  - link: the cross compiler's, on the linker's -rpath-link for programs
#    that link a device library, which then sees one C library, not two.
function(tolmek_libc_alias dir target)
  file(MAKE_DIRECTORY ${dir})
  file(CREATE_LINK ${target} ${dir}/libc.so.0 SYMBOLIC)
endfunction()
set(run_dir ${CMAKE_BINARY_DIR}/device-libc/run)
tolmek_libc_alias(${run_dir} ${TOLMEK_MIPSEL_SYSROOT}/lib/mipsel-linux-gnu/libc.so.6)
list(TRANSFORM CMAKE_CROSSCOMPILING_EMULATOR
  REPLACE "^LD_LIBRARY_PATH=" "LD_LIBRARY_PATH=${run_dir}:")
execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=libc.so.6
                OUTPUT_VARIABLE compiler_libc OUTPUT_STRIP_TRAILING_WHITESPACE)
set(TOLMEK_DEVICE_LIBC_LINK_DIR ${CMAKE_BINARY_DIR}/device-libc/link)
tolmek_libc_alias(${TOLMEK_DEVICE_LIBC_LINK_DIR} ${compiler_libc})
