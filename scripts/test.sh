#!/usr/bin/env bash
# Sets up everything, builds every flavour and runs all tests:
# natively, under the sanitizers, under wine and under qemu.
# Usage: scripts/test.sh [flavour...]   (default: all four)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build_root="${TOLMEK_BUILD_ROOT:-$here/build}"
"$here/scripts/setup.sh"

flavours=("$@")
[ ${#flavours[@]} -gt 0 ] || flavours=(native asan windows mipsel)

failed=()
for flavour in "${flavours[@]}"; do
  echo "== $flavour"
  start=$SECONDS
  if "$here/scripts/build.sh" "$flavour" &&
     ctest --test-dir "$build_root/$flavour" --output-on-failure -j "$(nproc)"; then
    echo "== $flavour passed in $((SECONDS - start)) s"
  else
    echo "== $flavour FAILED after $((SECONDS - start)) s"
    failed+=("$flavour")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "failed flavours: ${failed[*]}"
  exit 1
fi
echo "all tests passed"
