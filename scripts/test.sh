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
TOLMEK_USERLAND_LATER=1 "$here/scripts/setup.sh" style "${flavours[@]}"
export TOLMEK_SETUP_DONE=1

# The device userland takes many minutes to build on a machine that has none cached: it is
# built while the other flavours are tested, and the mipsel flavour waits for it.
userland_setup=
userland_log="$build_root/userland-setup.log"
if [[ " ${flavours[*]} " == *" mipsel "* ]]; then
  mkdir -p "$build_root"
  "$here/scripts/setup.sh" mipsel >"$userland_log" 2>&1 &
  userland_setup=$!
  trap '[ -z "$userland_setup" ] || kill "$userland_setup" 2>/dev/null' EXIT
fi
# The userland's setup, finished: its output shown, its failure a failure of the flavour.
userland_ready() {
  [ -n "$userland_setup" ] || return 0
  local status=0
  wait "$userland_setup" || status=$?
  userland_setup=
  cat "$userland_log"
  return "$status"
}

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
  ready=true
  [ "$flavour" = mipsel ] && ready=userland_ready
  if $ready && "$here/scripts/build.sh" "$flavour" &&
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
