#!/usr/bin/env bash
# Configures and builds one flavour into build/<flavour>:
#   native  - x86_64 Linux, optimised, with benchmarks
#   asan    - x86_64 Linux under AddressSanitizer and UBSan, for the tests
#   windows - i686-w64-mingw32, run under wine
#   mipsel  - the device, run under qemu
#   fuzz    - x86_64 Linux, clang: the libFuzzer harnesses of fuzz/ only
# Sets up what the flavour needs first (scripts/setup.sh FLAVOUR), unless the
# caller has: TOLMEK_SETUP_DONE=1. TOLMEK_BUILD_TARGETS="T..." builds only
# those targets of the flavour (the demo's programs).
# Usage: scripts/build.sh FLAVOUR [extra cmake arguments]
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build_root="${TOLMEK_BUILD_ROOT:-$here/build}"
flavour=${1:?usage: build.sh native|asan|windows|mipsel|fuzz [cmake args]}
shift

case "$flavour" in
  native) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) args=(-DCMAKE_BUILD_TYPE=Debug -DTOLMEK_SANITIZE=ON) ;;
  windows) args=(-DCMAKE_TOOLCHAIN_FILE="$here/cmake/i686-w64-mingw32.cmake"
                 -DCMAKE_BUILD_TYPE=RelWithDebInfo
                 -DCARVELO_SERVER_HOST=127.0.0.1
                 -DTOLMEK_NATIVE_BUILD="$build_root/native") ;;
  fuzz) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLMEK_SANITIZE=ON -DTOLMEK_FUZZ=ON
              -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  mipsel) args=(-DCMAKE_TOOLCHAIN_FILE="$here/cmake/mipsel-linux-gnu.cmake"
                -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  *) echo "unknown flavour $flavour" >&2; exit 2 ;;
esac

[ "${TOLMEK_SETUP_DONE:-}" = 1 ] || "$here/scripts/setup.sh" "$flavour"
export TOLMEK_SETUP_DONE=1

# The Windows end-to-end tests talk to the native sample lyrics server.
[ "$flavour" != windows ] || TOLMEK_BUILD_TARGETS="" "$0" native

dir="$build_root/$flavour"
read -r -a targets <<<"${TOLMEK_BUILD_TARGETS:-all}"
cmake -S "$here" -B "$dir" -G Ninja "${args[@]}" "$@" >/dev/null
cmake --build "$dir" --target "${targets[@]}"
