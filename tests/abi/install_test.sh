#!/usr/bin/env bash
# Installs the build into a staging directory and checks that the tree
# serves a host developer: each library with its development link, header
# and pkg-config file, host_services.h, and bin/tolmek running from the
# tree; then builds a host with the installed headers and pkg-config alone.
# Usage: install_test.sh BUILD_DIR STAGE_DIR HOST_SOURCE
set -euo pipefail
build=$1 stage=$2 host_source=$3

rm -rf "$stage"
cmake --install "$build" --prefix "$stage" >/dev/null

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_file() { [ -f "$stage/$1" ] || fail "not installed: $1"; }

modules=$(cd "$stage/lib/pkgconfig" && ls tolmek-*.pc | sed 's/\.pc$//')
[ -n "$modules" ] || fail "no pkg-config files"
for module in $modules; do
  name=${module#tolmek-}
  expect_file "lib/libtolmek-$name.so.2"
  [ "$(readlink "$stage/lib/libtolmek-$name.so")" = "libtolmek-$name.so.2" ] ||
    fail "lib/libtolmek-$name.so is not the development link"
  expect_file "include/tolmek/tolmek_$name.h"
done
expect_file include/tolmek/host_services.h

"$stage/bin/tolmek" sql "$stage/library.db" "CREATE TABLE t(x)" ||
  fail "bin/tolmek does not run from the tree"

export PKG_CONFIG_PATH="$stage/lib/pkgconfig"
# shellcheck disable=SC2046,SC2086
cc -std=c11 -Wall -Werror -rdynamic -o "$stage/host" "$host_source" \
  $(pkg-config --cflags --libs $modules) -Wl,-rpath,"$stage/lib" || fail "the host does not build"
[ -x "$stage/host" ] && { "$stage/host" || fail "the staged host fails"; }

[ "$failures" -eq 0 ]
