#!/usr/bin/env bash
# fetch_cli_test.sh CARVELO_FETCH LYRICS_SERVER SAMPLE_MUSIC_SCRIPT: carvelo-fetch against
# the sample lyrics server with generated MP3s, a soak of 1,000 jobs, its conventions.
set -uo pipefail
source "$(dirname "$0")/../../../tests/e2e/checks.sh"
source "$(dirname "$0")/../../../tests/e2e/cli_conventions.sh"

fetch=${1:?} server=${2:?} sample_music=${3:?} work=$(mktemp -d) pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"; checks_outcome' EXIT

start_server() {  # start_server NAME OPTION...: a sample server on a free port, NAME_port
  "$server" --port 0 --lyrics "$work/lyrics" "${@:2}" >"$work/$1.out" &
  pids+=($!)
  wait_until 10 grep -q '^listening on' "$work/$1.out" || fatal "the $1 server did not start"
  printf -v "$1_port" %s "$(sed -n 's/^listening on 127.0.0.1://p' "$work/$1.out")"
}

music="$work/my.music/가요"
known="$music/Morning Walk.mp3" unknown="$music/이름 없는 곡.mp3"
"$sample_music" "$music" "$work/lyrics" "$server"
mkdir "$work/builds" && start_server main --builds "$work/builds"
start_server slow --delay-ms 20000  # takes 20 s to answer

output=$("$fetch" --server "127.0.0.1:$main_port" "$music/봄날의 노래.mp3" "$unknown" "$music/없는.mp3")
check "a batch with failures exits 1, one line per file, then the closing line" \
  "1 성공: 봄날의 노래.mp3|실패: 이름 없는 곡.mp3|실패: 없는.mp3|완료.|" "$? $(tr '\n' '|' <<<"$output")"
"$fetch" --server "127.0.0.1:$main_port" "$known" >/dev/null
check "a batch without failures exits 0, its lyrics stored" "0 [ti:Morning Walk]" \
  "$? $(head -1 "${known%.mp3}.lrc" | tr -d '\r')"
output=$("$fetch" --timeout 1 --server "127.0.0.1:$slow_port" "$known")
check "--timeout ends a download that takes longer" "1 실패: Morning Walk.mp3" "$? ${output%$'\n'*}"

check "the server refuses to listen beyond loopback" \
  "lyrics-server: 192.0.2.1 is not a loopback IPv4 address" \
  "$("$server" --address 192.0.2.1 --port 0 --lyrics "$work/lyrics" 2>&1)"
exec 3<>"/dev/tcp/127.0.0.1/$main_port"
printf 'GET /ovra-player/carvelo/update/carvelo/../lyrics/%s HTTP/1.0\r\n\r\n' "$(ls "$work/lyrics" | head -1)" >&3
check "the server serves nothing outside its folders" "HTTP/1.0 404 Not Found" "$(head -1 <&3 | tr -d '\r')"

# Soak: 1,000 jobs in one process leave no descriptor, thread or temporary behind.
# FIFOs read before and after the jobs hold the process while its resources are counted.
mkfifo "$work/before" "$work/after"
for ((i = 0; i < 500; i++)); do songs+=("$known" "$unknown"); done
"$fetch" --server "127.0.0.1:$main_port" "$work/before" "${songs[@]}" "$work/after" >"$work/soak.out" &
soak=$!
exec 4<>"$work/before" 5<>"$work/after"  # once the process runs, so that it inherits neither
resources_when_reading() {  # resources_when_reading FIFO
  wait_until 60 sh -c "find /proc/$soak/fd -lname '$1' | grep -q ." || fatal "$1 never read"
  echo "$(ls "/proc/$soak/fd" | wc -l) descriptors, $(ls "/proc/$soak/task" | wc -l) threads"
}
before=$(resources_when_reading "$work/before")
exec 4>&-
after=$(resources_when_reading "$work/after")
exec 5>&-
wait $soak
check "1,000 jobs run to the end, with no leak report (which would change the exit status)" \
  "exit 1, 500 fetched" "exit $?, $(grep -c '^성공' "$work/soak.out") fetched"
check "after 1,000 jobs as many descriptors and threads as before them" "$before" "$after"
check "no temporary file remains" "" "$(ls -A "$music" | grep -v -E '\.(mp3|lrc)$')"

expect_conventions "$fetch" <<EOF || failures=$((failures + $?))
0 out --help
0 version --version
2 err
2 err --bogus a.mp3
2 err --timeout 0 a.mp3
EOF
