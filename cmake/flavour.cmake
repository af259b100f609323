# Compiler settings shared by every target of a flavour.

add_compile_options(-Wall -Wextra)

if(TOLMEK_FLAVOUR STREQUAL "windows")
  # No runtime DLLs next to the program: everything static.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
endif()

if(TOLMEK_FUZZ AND NOT TOLMEK_SANITIZE)
  message(FATAL_ERROR "TOLMEK_FUZZ needs TOLMEK_SANITIZE")
endif()

if(TOLMEK_SANITIZE)
  if(NOT TOLMEK_FLAVOUR STREQUAL "native")
    message(FATAL_ERROR "TOLMEK_SANITIZE is for the native flavour")
  endif()
  set(TOLMEK_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
  if(TOLMEK_FUZZ)
    # Coverage feedback for libFuzzer in everything the harnesses reach,
    # the device libraries included; the harnesses link libFuzzer itself.
    list(APPEND TOLMEK_SANITIZER_FLAGS -fsanitize=fuzzer-no-link)
  endif()
  add_compile_options(${TOLMEK_SANITIZER_FLAGS})
  add_link_options(${TOLMEK_SANITIZER_FLAGS})
endif()
