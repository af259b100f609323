#!/usr/bin/env bash
# Runs one fuzz harness and prints its executions, coverage and findings;
# fails on any crash, leak, timeout, memory excess or sanitizer report, whose
# input is kept in BIN_DIR/findings/NAME/. --runs N: the CI run, the kept
# regressions and the seeds then N inputs from a fixed random seed;
# --minutes M: a long run growing the corpus in BIN_DIR/corpus/NAME.
set -euo pipefail

usage() { echo "usage: run_harness.sh BIN_DIR NAME --runs N|--minutes M" >&2; exit 2; }
[ $# -eq 4 ] || usage
bin=$1 name=$2 mode=$3 amount=$4
here=$(cd "$(dirname "$0")" && pwd)
read -r _ _ dictionary < <(grep "^$name " "$bin/harnesses.txt") ||
  { echo "no harness named $name" >&2; exit 2; }
case $mode in
  --runs) corpus=$bin/ci/$name; rm -rf "$corpus"; limit=(-runs="$amount" -seed=1) ;;
  --minutes) corpus=$bin/corpus/$name; limit=(-max_total_time=$((amount * 60))) ;;
  *) usage ;;
esac
findings=$bin/findings/$name log=$bin/logs/$name.log start=$bin/logs/$name.start
mkdir -p "$corpus" "$findings" "$bin/logs"
touch "$start"

# Per input: 10 s at most, 2 GB at most; every input is checked for leaks.
options=(-timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/")
[ "$dictionary" = none ] || options+=(-dict="$here/dictionaries/$dictionary")
inputs=("$corpus")
for dir in "$here/regressions/$name" "$here/seeds/$name" "$bin/seeds/$name"; do
  [ -d "$dir" ] && inputs+=("$dir")
done
status=0
ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  "$bin/fuzz_$name" "${options[@]}" "${limit[@]}" "${inputs[@]}" >"$log" 2>&1 || status=$?

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1 || true)
speed=$(grep -Eo 'exec/s: [0-9]+' "$log" | tail -n 1 || true)
new_findings=$(find "$findings" -type f -newer "$start")
echo "$name: ${executions:-?} executions, ${coverage:-no coverage reported}, ${speed:-?}," \
     "corpus $(find "$corpus" -type f | wc -l) inputs, findings: ${new_findings:-none}"
if [ "$status" -ne 0 ] || [ -n "$new_findings" ]; then
  echo "== $name failed (exit $status); the end of $log:"
  tail -n 60 "$log"
  exit 1
fi
