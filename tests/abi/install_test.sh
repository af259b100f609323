#!/usr/bin/env bash
# install_test.sh BUILD_DIR STAGE_DIR HOST_SOURCE REFERENCE_HOST_DIR: installs the build, builds a
# host with its headers and pkg-config's flags, and runs it and tolmek on the installed libraries.
set -euo pipefail
stage=$2
rm -rf "$stage"
cmake --install "$1" --prefix "$stage" >/dev/null
export PKG_CONFIG_PATH="$stage/lib/pkgconfig"
flags=$(pkg-config --cflags --libs $(cd "$PKG_CONFIG_PATH" && ls tolmek-*.pc | sed 's/\.pc$//'))
cc -std=c11 -Wall -Werror -c -o "$stage/host.o" "$3" $flags
c++ -std=c++20 -Wall -Werror -rdynamic -o "$stage/host" "$stage/host.o" "$4"/reference/*.cpp \
  -I"$4" -I"$4/reference" $flags -Wl,-rpath,"$stage/lib"
"$stage/host"
"$stage/bin/tolmek" sql "$stage/library.db" "CREATE TABLE songs(title)"
