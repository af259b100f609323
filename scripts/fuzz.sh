#!/usr/bin/env bash
# Long fuzz runs: builds the fuzz flavour, makes the seed corpora, then
# runs one harness, or each in turn, for N minutes (default 10). Each keeps
# the corpus it grows in build/fuzz/fuzz/corpus/HARNESS for the next run
# and prints its executions, coverage and findings; a finding's input is
# kept in build/fuzz/fuzz/findings/HARNESS. Harnesses: fuzz/CMakeLists.txt.
# Usage: scripts/fuzz.sh [HARNESS] [--minutes N]
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build_root="${TOLMEK_BUILD_ROOT:-$here/build}"
usage() { echo "usage: scripts/fuzz.sh [HARNESS] [--minutes N]" >&2; exit 2; }

harness="" minutes=10
while [ $# -gt 0 ]; do
  case $1 in
    --minutes) [ $# -ge 2 ] || usage; minutes=$2; shift 2 ;;
    -*) usage ;;
    *) [ -z "$harness" ] || usage; harness=$1; shift ;;
  esac
done

"$here/scripts/build.sh" fuzz
ctest --test-dir "$build_root/fuzz" -R '^fuzz_seeds$' --output-on-failure >/dev/null
bin=$build_root/fuzz/fuzz
if [ -n "$harness" ]; then
  names=("$harness")
else
  mapfile -t names < <(cut -d' ' -f1 "$bin/harnesses.txt")
fi

failed=0
for name in "${names[@]}"; do
  bash "$here/fuzz/run_harness.sh" "$bin" "$name" --minutes "$minutes" || failed=1
done
exit $failed
