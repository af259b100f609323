#!/usr/bin/env bash
# carvelo-fetch against the sample lyrics server on loopback, with generated
# MP3s: result lines, exit codes, stored lyrics, the server's answers and log.
#   fetch_cli_test.sh CARVELO_FETCH LYRICS_SERVER SAMPLE_MUSIC_SCRIPT
set -uo pipefail

fetch=${1:?} server=${2:?} sample_music=${3:?}
work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() {  # check DESCRIPTION EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAILED: $1"
    echo "  expected: $(printf '%q' "$2")"
    echo "  actual:   $(printf '%q' "$3")"
    failures=$((failures + 1))
  fi
}

# start_server [options]: runs the server on a free port; sets $port.
start_server() {
  "$server" --port 0 --lyrics "$work/lyrics" --builds "$work/builds" --log "$work/requests.log" \
    "$@" >"$work/server.out" &
  server_pid=$!
  for _ in $(seq 100); do
    grep -q '^listening on' "$work/server.out" 2>/dev/null && break
    sleep 0.1
  done
  port=$(sed -n 's/^listening on 127.0.0.1://p' "$work/server.out")
  [ -n "$port" ] || { echo "FAILED: the server did not start"; exit 1; }
}
stop_server() { kill "$server_pid"; wait "$server_pid" 2>/dev/null; server_pid=; }

# get PATH: the raw answer of the server to one GET.
get() {
  exec 3<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET %s HTTP/1.0\r\nHost: test\r\n\r\n' "$1" >&3
  cat <&3
  exec 3<&-
}

music="$work/my.music/가요"
"$sample_music" "$music" "$work/lyrics" "$server"
mkdir -p "$work/builds"
printf 'MZ new build' >"$work/builds/0.1.4"
start_server

# A batch: two known songs, an unknown one, a missing file.
output=$("$fetch" --server "127.0.0.1:$port" "$music/봄날의 노래.mp3" "$music/Morning Walk.mp3" \
  "$music/이름 없는 곡.mp3" "$music/없는 파일.mp3")
check "a batch with failures exits 1" 1 $?
check "one line per file, then the closing line" \
  "$(printf '성공: 봄날의 노래.mp3\n성공: Morning Walk.mp3\n실패: 이름 없는 곡.mp3\n실패: 없는 파일.mp3\n완료.')" \
  "$output"
check "lyrics are stored with CR LF line ends" \
  "$(printf '[ti:봄날의 노래]\r\n[00:00.00]봄날의 첫 줄\r\n[00:01.50]둘째 줄, 바람이 분다\r\n' | od -An -tx1)" \
  "$(od -An -tx1 <"$music/봄날의 노래.lrc")"
check "only the fetched lyrics files exist" \
  "Morning Walk.lrc Morning Walk.mp3 봄날의 노래.lrc 봄날의 노래.mp3 이름 없는 곡.mp3" \
  "$(cd "$music" && LC_ALL=C ls | tr '\n' ' ' | sed 's/ $//')"
check "no request for a file that cannot be read" 3 "$(wc -l <"$work/requests.log")"
check "requests name the fingerprint" "/sevrin/fetch/$(ls "$work/lyrics" | sort | head -1)" \
  "$(grep -x "/sevrin/fetch/$(ls "$work/lyrics" | sort | head -1)" "$work/requests.log")"

output=$("$fetch" --server "127.0.0.1:$port" "$music/Morning Walk.mp3")
check "a batch without failures exits 0" 0 $?
check "its lines" "$(printf '성공: Morning Walk.mp3\n완료.')" "$output"

# Usage errors.
"$fetch" >/dev/null 2>&1; check "no files is a usage error" 2 $?
"$fetch" --server >/dev/null 2>&1; check "--server without a value" 2 $?
"$fetch" --server "127.0.0.1:99999" a.mp3 >/dev/null 2>&1; check "a port out of range" 2 $?
"$fetch" --bogus a.mp3 >/dev/null 2>&1; check "an unknown option" 2 $?

# The server's own answers.
answer=$(get /ovra-player/carvelo/update/carvelo/0.1.4)
check "a build is served" "HTTP/1.0 200 OK" "$(head -1 <<<"$answer" | tr -d '\r')"
check "with its bytes" "MZ new build" "$(printf %s "$answer" | tail -c 12)"
for path in /ovra-player/carvelo/update/carvelo/0.1.3 /ovra-player/carvelo/update/carvelo/..%2f \
            /ovra-player/carvelo/update/carvelo/../lyrics /sevrin/fetch/ABCDEF0123456789ABCDEF0123456789 \
            /sevrin/fetch/short /elsewhere; do
  check "404 for $path" "HTTP/1.0 404 Not Found" "$(get "$path" | head -1 | tr -d '\r')"
done
stop_server

# A delayed server logs each request as it arrives, before answering.
: >"$work/requests.log"
start_server --delay-ms 4000
"$fetch" --server "127.0.0.1:$port" "$music/Morning Walk.mp3" >"$work/slow.out" &
fetch_pid=$!
for _ in $(seq 100); do
  [ -s "$work/requests.log" ] && break
  sleep 0.1
done
check "the request is logged while its answer waits" "running 1" \
  "$(kill -0 $fetch_pid 2>/dev/null && echo running) $(wc -l <"$work/requests.log")"
wait $fetch_pid
check "the delayed answer still arrives" 0 $?
stop_server

"$server" --address 192.0.2.1 --port 0 --lyrics "$work/lyrics" >/dev/null 2>&1
check "the server refuses to listen beyond loopback" 1 $?

[ "$failures" -eq 0 ] || { echo "$failures checks failed"; exit 1; }
echo "all checks passed"
