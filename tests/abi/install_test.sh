#!/usr/bin/env bash
# Installs the build into a staging directory and builds a host from the
# tree alone: the installed headers, and pkg-config for the flags, whose
# -l options need each library's development link. The host then runs
# against the installed libraries, and so does bin/tolmek.
# Usage: install_test.sh BUILD_DIR STAGE_DIR HOST_SOURCE
set -euo pipefail
build=$1 stage=$2 host_source=$3

rm -rf "$stage"
cmake --install "$build" --prefix "$stage" >/dev/null
modules=$(cd "$stage/lib/pkgconfig" && ls tolmek-*.pc | sed 's/\.pc$//')
for module in $modules; do
  [ -f "$stage/include/tolmek/tolmek_${module#tolmek-}.h" ] || { echo "FAIL: no header for $module"; exit 1; }
done

export PKG_CONFIG_PATH="$stage/lib/pkgconfig"
# shellcheck disable=SC2046,SC2086
cc -std=c11 -Wall -Werror -rdynamic -o "$stage/host" "$host_source" \
  $(pkg-config --cflags --libs $modules) -Wl,-rpath,"$stage/lib"
"$stage/host"
"$stage/bin/tolmek" sql "$stage/library.db" "CREATE TABLE songs(title)"
