# The device libraries' open-source dependencies as imported targets.
# The libraries only take their headers; the loading process (reference
# host, tests, tools) links them, as the player does on the device.

# PKG_CONFIG names the dependency's pkg-config package, which the
# libraries' own pkg-config files require.
function(tolmek_dependency target)
  cmake_parse_arguments(PARSE_ARGV 1 D "" "HEADER;LIBRARY;PKG_CONFIG" "SUFFIXES")
  string(MAKE_C_IDENTIFIER ${target} var)
  find_path(${var}_INCLUDE ${D_HEADER} PATH_SUFFIXES ${D_SUFFIXES} REQUIRED)
  find_library(${var}_LIBRARY ${D_LIBRARY} REQUIRED)
  add_library(${target} SHARED IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES
    IMPORTED_LOCATION ${${var}_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${${var}_INCLUDE}
    TOLMEK_PKG_CONFIG ${D_PKG_CONFIG})
endfunction()

tolmek_dependency(dep::mpg123 HEADER mpg123.h LIBRARY mpg123 PKG_CONFIG libmpg123)
tolmek_dependency(dep::tremor HEADER tremor/ivorbisfile.h LIBRARY vorbisidec PKG_CONFIG vorbisidec)
tolmek_dependency(dep::flac HEADER FLAC/stream_decoder.h LIBRARY FLAC PKG_CONFIG flac)
tolmek_dependency(dep::freetype HEADER ft2build.h LIBRARY freetype SUFFIXES freetype2
                  PKG_CONFIG freetype2)
tolmek_dependency(dep::sqlite3 HEADER sqlite3.h LIBRARY sqlite3 PKG_CONFIG sqlite3)

# Shared objects every loading process must provide besides the C library.
set(TOLMEK_DEPENDENCY_TARGETS dep::mpg123 dep::tremor dep::flac dep::freetype dep::sqlite3)
