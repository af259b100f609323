#!/usr/bin/env bash
# Long fuzz runs: builds the fuzz flavour, makes the seed corpora, then
# runs one harness, or each in turn, for N minutes (default 10). Each keeps
# the corpus it grows in build/fuzz/fuzz/corpus/HARNESS for the next run
# and prints its executions, coverage and findings; a finding's input is
# kept in build/fuzz/fuzz/findings/. Harnesses: fuzz/CMakeLists.txt.
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
  read -r -a shared < <(grep "^$name " "$bin/harnesses.txt") ||
    { echo "no harness named $name" >&2; exit 2; }
  mkdir -p "$bin/corpus/$name" "$bin/logs"
  log=$bin/logs/$name.log start=$(date +%s.%N)
  status=0
  ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$bin/fuzz_$name" -max_total_time=$((minutes * 60)) -print_final_stats=1 \
    "$bin/corpus/$name" "$bin/seeds/$name" "${shared[@]:1}" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1 || true)
  findings=$(find "$bin/findings" -type f -newermt "@$start")
  echo "$name: ${executions:-?} executions, ${coverage:-no coverage reported}," \
       "corpus $(find "$bin/corpus/$name" -type f | wc -l) inputs, findings: ${findings:-none}"
  if [ "$status" -ne 0 ]; then
    echo "== $name failed (exit $status); the end of $log:"
    tail -n 60 "$log"
    failed=1
  fi
done
exit $failed
