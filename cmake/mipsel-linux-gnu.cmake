# The device flavour: 32-bit little-endian MIPS Linux, run under qemu-user.
# Dependency libraries come from the sysroot that scripts/setup.sh unpacks.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mipsel)
set(CMAKE_LIBRARY_ARCHITECTURE mipsel-linux-gnu)
set(CMAKE_C_COMPILER mipsel-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mipsel-linux-gnu-g++)

if(NOT TOLMEK_MIPSEL_SYSROOT)
  if(DEFINED ENV{TOLMEK_MIPSEL_SYSROOT})
    set(TOLMEK_MIPSEL_SYSROOT $ENV{TOLMEK_MIPSEL_SYSROOT})
  else()
    get_filename_component(TOLMEK_MIPSEL_SYSROOT
                           ${CMAKE_CURRENT_LIST_DIR}/../.deps/mipsel-sysroot ABSOLUTE)
  endif()
endif()
set(TOLMEK_MIPSEL_SYSROOT ${TOLMEK_MIPSEL_SYSROOT} CACHE PATH "mipsel dependency sysroot")

set(CMAKE_FIND_ROOT_PATH ${TOLMEK_MIPSEL_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(_tolmek_libdirs
    ${TOLMEK_MIPSEL_SYSROOT}/lib/mipsel-linux-gnu:${TOLMEK_MIPSEL_SYSROOT}/usr/lib/mipsel-linux-gnu)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-rpath-link,${_tolmek_libdirs}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,-rpath-link,${_tolmek_libdirs}")
set(CMAKE_CROSSCOMPILING_EMULATOR
    qemu-mipsel -L ${TOLMEK_MIPSEL_SYSROOT}
    -E LD_LIBRARY_PATH=${_tolmek_libdirs}
    -E GCONV_PATH=${TOLMEK_MIPSEL_SYSROOT}/usr/lib/mipsel-linux-gnu/gconv)
