#!/usr/bin/env bash
# Decode throughput of tolmek decode against mpg123 -s on the same file:
# the best wall-clock and CPU time of RUNS runs each, and the seconds of
# audio decoded per second. The output WAV goes to memory-backed storage.
# Usage: tool_throughput.sh TOLMEK MP3 [RUNS]
set -euo pipefail

tolmek=${1:?usage: tool_throughput.sh TOLMEK MP3 [RUNS]}
mp3=${2:?usage: tool_throughput.sh TOLMEK MP3 [RUNS]}
runs=${3:-10}
out=$(mktemp -p /dev/shm tolmek-XXXXXX.wav)
trap 'rm -f "$out"' EXIT

"$tolmek" decode "$mp3" -o "$out"
seconds=$(sox --i -D "$out")

# best_of COMMAND...: prints "wall cpu" of the fastest run, in seconds.
best_of() {
  local best_wall=999999 best_cpu=999999 i cpu wall user system
  for ((i = 0; i < runs; i++)); do
    read -r wall user system < <({ TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1)
    cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')
    best_wall=$(awk -v a="$best_wall" -v b="$wall" 'BEGIN { print (b < a ? b : a) }')
    best_cpu=$(awk -v a="$best_cpu" -v b="$cpu" 'BEGIN { print (b < a ? b : a) }')
  done
  echo "$best_wall $best_cpu"
}

report() {
  read -r wall cpu <<<"$2"
  awk -v name="$1" -v w="$wall" -v c="$cpu" -v s="$seconds" \
      'BEGIN { printf "%-16s wall %.3f s  cpu %.3f s  %.0fx real time (by cpu)\n", name, w, c, s / c }'
}

echo "$mp3: $seconds s of audio, best of $runs runs"
report "tolmek decode" "$(best_of "$tolmek" decode "$mp3" -o "$out")"
report "mpg123 -s" "$(best_of mpg123 -q -s "$mp3")"
