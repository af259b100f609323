#!/usr/bin/env bash
# carvelo-fetch on whole folders against the sample lyrics server on loopback:
#   1. 64 songs, the server pausing 50 ms before each answer: the best wall-clock time of RUNS
#      runs with --jobs 1 and with --jobs 8, and their ratio;
#   2. a tree of 10,000 songs (100 folders of 100), the server answering at once, --jobs 4: the
#      wall-clock time and the peak resident memory (GNU time's maximum RSS).
# The songs are small files of distinct bytes (the fingerprint needs no audio); the server knows
# the lyrics of every one. Usage: library_fetch.sh CARVELO_FETCH LYRICS_SERVER [RUNS]
set -euo pipefail

fetch=${1:?usage: library_fetch.sh CARVELO_FETCH LYRICS_SERVER [RUNS]}
server=${2:?usage: library_fetch.sh CARVELO_FETCH LYRICS_SERVER [RUNS]}
runs=${3:-3}
work=$(mktemp -d) pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT

# songs FOLDER FOLDERS SONGS: FOLDERS folders of SONGS songs each, their lyrics in $work/lyrics.
songs() {
  local folder song
  for ((folder = 0; folder < $2; folder++)); do
    mkdir -p "$1/$folder"
    for ((song = 0; song < $3; song++)); do
      printf 'song %d of folder %d of %s\n' "$song" "$folder" "$1" >"$1/$folder/$song.mp3"
    done
  done
  mkdir -p "$work/lyrics"
  find "$1" -name '*.mp3' -print0 | xargs -0 "$server" fingerprint |
    while read -r fingerprint path; do printf '[ti:%s]\n' "$path" >"$work/lyrics/$fingerprint"; done
}

# serve NAME OPTION...: a sample server on a free loopback port; its address goes to NAME.
serve() {
  "$server" --port 0 --lyrics "$work/lyrics" "${@:2}" >"$work/$1.out" &
  pids+=($!)
  until grep -q '^listening on' "$work/$1.out"; do sleep 0.1; done
  printf -v "$1" %s "$(sed -n 's/^listening on //p' "$work/$1.out")"
}

# measure ARGUMENTS...: prints "seconds peak-KiB" of one carvelo-fetch run, which must succeed.
measure() {
  /usr/bin/time -f '%e %M' -o "$work/time" "$fetch" "$@" >"$work/output"
  grep -q '^성공 [0-9]*, 실패 0, 건너뜀 0$' "$work/output" || { echo "a song failed" >&2; exit 1; }
  cat "$work/time"
}

# best ARGUMENTS...: the fewest seconds of RUNS runs.
best() {
  for ((run = 0; run < runs; run++)); do measure "$@"; done | sort -n | head -1 | cut -d' ' -f1
}

songs "$work/small" 4 16
songs "$work/large" 100 100
serve delayed --delay-ms 50
serve prompt

one=$(best --server "$delayed" --jobs 1 "$work/small")
eight=$(best --server "$delayed" --jobs 8 "$work/small")
echo "64 songs, 50 ms per answer: --jobs 1 ${one} s, --jobs 8 ${eight} s," \
  "ratio $(awk -v a="$eight" -v b="$one" 'BEGIN {printf "%.3f", a / b}')"
read -r seconds peak < <(measure --server "$prompt" --jobs 4 "$work/large")
echo "10,000 songs in 100 folders, --jobs 4: ${seconds} s, peak resident memory ${peak} KiB"
