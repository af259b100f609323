#!/usr/bin/env bash
# carvelo-fetch against the sample lyrics server on loopback, with generated
# MP3s: result lines and exit codes, the sample server's own answers, and
# the command-line conventions of both.
#   fetch_cli_test.sh CARVELO_FETCH LYRICS_SERVER SAMPLE_MUSIC_SCRIPT
set -uo pipefail
source "$(dirname "$0")/../../../tests/e2e/checks.sh"
source "$(dirname "$0")/../../../tests/e2e/cli_conventions.sh"

fetch=${1:?} server=${2:?} sample_music=${3:?}
work=$(mktemp -d)
server_pid= slow_pid=
trap 'kill $server_pid $slow_pid 2>/dev/null; rm -rf "$work"; checks_outcome' EXIT

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
"$server" --port 0 --lyrics "$work/lyrics" --builds "$work/builds" >"$work/server.out" &
server_pid=$!
wait_until 10 grep -q '^listening on' "$work/server.out" || fatal "the server did not start"
port=$(sed -n 's/^listening on 127.0.0.1://p' "$work/server.out")
# The same lyrics from a server that takes 20 s to answer.
"$server" --port 0 --lyrics "$work/lyrics" --delay-ms 20000 >"$work/slow.out" &
slow_pid=$!

# A batch: two known songs, an unknown one, a missing file.
output=$("$fetch" --server "127.0.0.1:$port" "$music/봄날의 노래.mp3" "$music/Morning Walk.mp3" \
  "$music/이름 없는 곡.mp3" "$music/없는 파일.mp3")
check "a batch with failures exits 1" 1 $?
check "one line per file, then the closing line" \
  "$(printf '성공: 봄날의 노래.mp3\n성공: Morning Walk.mp3\n실패: 이름 없는 곡.mp3\n실패: 없는 파일.mp3\n완료.')" \
  "$output"
check "the lyrics are stored" "[ti:봄날의 노래]" "$(head -1 "$music/봄날의 노래.lrc" | tr -d '\r')"

output=$("$fetch" --server "127.0.0.1:$port" "$music/Morning Walk.mp3")
check "a batch without failures exits 0" 0 $?
check "its lines" "$(printf '성공: Morning Walk.mp3\n완료.')" "$output"

wait_until 10 grep -q '^listening on' "$work/slow.out" || fatal "the slow server did not start"
slow_port=$(sed -n 's/^listening on 127.0.0.1://p' "$work/slow.out")
output=$("$fetch" --timeout 1 --server "127.0.0.1:$slow_port" "$music/Morning Walk.mp3")
check "--timeout ends a download that takes longer" "$(printf '실패: Morning Walk.mp3\n완료.')" \
  "$output"

# Command-line conventions of both tools.
expect_conventions "$fetch" <<EOF || failures=$((failures + $?))
0 out --help
0 version --version
2 err
2 err --server
2 err --server 127.0.0.1:99999 a.mp3
2 err --bogus a.mp3
2 err --timeout
2 err --timeout 0 a.mp3
2 err --timeout 86401 a.mp3
EOF
expect_conventions "$server" <<EOF || failures=$((failures + $?))
0 out --help
0 version --version
2 err
2 err add-lyrics $work/lyrics
2 err --port 65536 --lyrics $work/lyrics
EOF
check "a file that cannot be read is named" "lyrics-server: $work/none.mp3: cannot open" \
  "$("$server" fingerprint "$work/none.mp3" 2>&1)"

# The server's own answers.
answer=$(get /ovra-player/carvelo/update/carvelo/0.1.4)
check "a build is served" "HTTP/1.0 200 OK" "$(head -1 <<<"$answer" | tr -d '\r')"
check "with its bytes" "MZ new build" "$(printf %s "$answer" | tail -c 12)"
for path in /ovra-player/carvelo/update/carvelo/0.1.3 /ovra-player/carvelo/update/carvelo/..%2f \
            /ovra-player/carvelo/update/carvelo/../lyrics /sevrin/fetch/ABCDEF0123456789ABCDEF0123456789 \
            /sevrin/fetch/short /elsewhere; do
  check "404 for $path" "HTTP/1.0 404 Not Found" "$(get "$path" | head -1 | tr -d '\r')"
done

"$server" --address 192.0.2.1 --port 0 --lyrics "$work/lyrics" >/dev/null 2>&1
check "the server refuses to listen beyond loopback" 1 $?
