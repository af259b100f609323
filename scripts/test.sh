#!/usr/bin/env bash
# Sets up what the flavours need, checks the house style, builds every flavour and
# runs all tests: natively, under the sanitizers, under wine, under qemu, and a
# short run of every fuzz harness.
# Usage: scripts/test.sh [flavour...]   (default: all five)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build_root="${TOLMEK_BUILD_ROOT:-$here/build}"

flavours=("$@")
[ ${#flavours[@]} -gt 0 ] || flavours=(native asan windows mipsel fuzz)
"$here/scripts/setup.sh" style "${flavours[@]}"
export TOLMEK_SETUP_DONE=1

failed=()
# One house style: every C and C++ source exactly as clang-format lays it out.
if ! git -C "$here" ls-files -z '*.c' '*.cpp' '*.h' |
     (cd "$here" && xargs -0 clang-format --dry-run --Werror); then
  echo "== style FAILED: run clang-format -i on the files above"
  failed+=(style)
fi

for flavour in "${flavours[@]}"; do
  echo "== $flavour"
  start=$SECONDS
  # The fuzz build registers the components' tests without building them.
  only=()
  [ "$flavour" = fuzz ] && only=(-L fuzz)
  if "$here/scripts/build.sh" "$flavour" &&
     ctest --test-dir "$build_root/$flavour" "${only[@]}" --output-on-failure -j "$(nproc)"; then
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
