#!/usr/bin/env bash
# Writes the release packages into build/packages:
#   tolmek-device-<version>-mipsel.tar.gz  the device install tree: the
#       libraries with their development links, the headers, one pkg-config
#       file per library, bin/tolmek: the very files the mipsel tests ran
#   carvelo-<version>-win32.zip            carvelo.exe and a Korean read-me
# The device tree comes from the mipsel flavour's build. carvelo gets a
# release build of its own (build/release-windows): it asks the lyrics
# server of the CMake default, or CARVELO_SERVER_HOST when that is set,
# not the loopback address the test build is made with.
# Usage: scripts/package.sh
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build_root="${TOLMEK_BUILD_ROOT:-$here/build}"
out="$build_root/packages"

package_device() {
  "$here/scripts/build.sh" mipsel
  local stage version name
  stage=$(mktemp -d)
  cmake --install "$build_root/mipsel" --prefix "$stage/tree" >/dev/null
  version=$(sed -n 's/^Version: //p' "$stage/tree/lib/pkgconfig/tolmek-db.pc")
  name="tolmek-device-$version-mipsel"
  mv "$stage/tree" "$stage/$name"
  tar -czf "$out/$name.tar.gz" --owner=0 --group=0 --sort=name -C "$stage" "$name"
  rm -rf "$stage"
  echo "wrote $out/$name.tar.gz"
}

package_carvelo() {
  local dir="$build_root/release-windows" stage version server=()
  [ -n "${CARVELO_SERVER_HOST:-}" ] && server=(-DCARVELO_SERVER_HOST="$CARVELO_SERVER_HOST")
  cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/i686-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_EXE_LINKER_FLAGS=-s "${server[@]}" >/dev/null
  cmake --build "$dir" --target carvelo
  version=$(sed -n 's/^CARVELO_PROGRAM_VERSION:STRING=//p' "$dir/CMakeCache.txt")
  stage=$(mktemp -d)
  cp "$dir/lyrics-client/windows/carvelo.exe" "$stage/"
  # Notepad's own format: UTF-8 with a byte order mark, CR LF line ends.
  { printf '\xEF\xBB\xBF'; sed 's/$/\r/' "$here/lyrics-client/windows/README.txt"; } \
    >"$stage/README.txt"
  rm -f "$out/carvelo-$version-win32.zip"
  (cd "$stage" && zip -q -X "$out/carvelo-$version-win32.zip" carvelo.exe README.txt)
  rm -rf "$stage"
  echo "wrote $out/carvelo-$version-win32.zip"
}

"$here/scripts/setup.sh"
mkdir -p "$out"
package_device
package_carvelo
