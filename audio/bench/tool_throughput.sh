#!/usr/bin/env bash
# Decode throughput of tolmek decode against the format's own decoder on
# the same file (mpg123 -w, flac -d, oggdec): the best wall-clock and CPU
# time of RUNS runs each, and the seconds of audio decoded per second. Both
# write their output to memory-backed storage, tolmek a WAV file as flac -d
# and oggdec do. A ten-minute test file, for example:
#   sox -n -r 44100 -c 2 -b 16 tone.wav synth 600 sine 440 sine 660 gain -3
#   flac -s tone.wav; oggenc -Q tone.wav
# Usage: tool_throughput.sh TOLMEK FILE [RUNS]
set -euo pipefail

tolmek=${1:?usage: tool_throughput.sh TOLMEK FILE [RUNS]}
file=${2:?usage: tool_throughput.sh TOLMEK FILE [RUNS]}
runs=${3:-10}
out=$(mktemp -p /dev/shm tolmek-XXXXXX.wav)
theirs=$(mktemp -p /dev/shm reference-XXXXXX.wav)
trap 'rm -f "$out" "$theirs"' EXIT

case "$file" in
  *.mp3) reference=(mpg123 -q -w "$theirs" "$file") ;;
  *.flac) reference=(flac -s -f -d -o "$theirs" "$file") ;;
  *.ogg) reference=(oggdec -Q -o "$theirs" "$file") ;;
  *) echo "no reference decoder for $file" >&2; exit 2 ;;
esac

"$tolmek" decode "$file" -o "$out"
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
  awk -v name="$1" -v w="$wall" -v c="$cpu" -v s="$seconds" 'BEGIN {
    printf "%-16s wall %.3f s  cpu %.3f s  %.0fx real time (by cpu)\n", name, w, c, s / c }'
}

echo "$file: $seconds s of audio, best of $runs runs"
report "tolmek decode" "$(best_of "$tolmek" decode "$file" -o "$out")"
report "${reference[0]}" "$(best_of "${reference[@]}")"
