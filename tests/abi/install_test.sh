#!/usr/bin/env bash
# Installs the build into a staging directory and builds a host from the
# tree alone: the installed headers, and pkg-config for the flags, whose
# -l options need each library's development link. The host then runs
# against the installed libraries, and so does bin/tolmek.
# Usage: install_test.sh BUILD_DIR STAGE_DIR HOST_SOURCE...
set -euo pipefail
build=$1 stage=$2
shift 2

rm -rf "$stage"
cmake --install "$build" --prefix "$stage" >/dev/null
export PKG_CONFIG_PATH="$stage/lib/pkgconfig"
modules=$(cd "$PKG_CONFIG_PATH" && ls tolmek-*.pc | sed 's/\.pc$//')
# shellcheck disable=SC2046,SC2086
cc -std=c11 -Wall -Werror -rdynamic -o "$stage/host" "$@" \
  $(pkg-config --cflags --libs $modules) -Wl,-rpath,"$stage/lib"
"$stage/host"
"$stage/bin/tolmek" sql "$stage/library.db" "CREATE TABLE songs(title)"
