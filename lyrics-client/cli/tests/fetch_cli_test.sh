#!/usr/bin/env bash
# fetch_cli_test.sh CARVELO_FETCH LYRICS_SERVER SAMPLE_MUSIC_SCRIPT: carvelo-fetch against
# the sample lyrics server with generated MP3s (some with control characters in their names),
# folders of songs, jobs at once, signals, a resolver that never answers, a soak of 1,000 jobs,
# its conventions.
set -uo pipefail
source "$(dirname "$0")/../../../tests/e2e/checks.sh"
source "$(dirname "$0")/../../../tests/e2e/cli_conventions.sh"

fetch=${1:?} server=${2:?} sample_music=${3:?} work=$(mktemp -d) pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"; checks_outcome' EXIT

start_server() {  # start_server NAME OPTION...: a sample server on a free port, NAME its address
  "$server" --port 0 --lyrics "$work/lyrics" "${@:2}" >"$work/$1.out" &
  pids+=($!)
  wait_until 10 grep -q '^listening on' "$work/$1.out" || fatal "the $1 server did not start"
  printf -v "$1" %s "$(sed -n 's/^listening on //p' "$work/$1.out")"
}

music="$work/my.music/가요"
known="$music/Morning Walk.mp3" unknown="$music/이름 없는 곡.mp3"
"$sample_music" "$music" "$work/lyrics" "$server"
mkdir "$work/builds" && start_server main --builds "$work/builds"
start_server slow --delay-ms 20000  # takes 20 s to answer
start_server stalled --stall-ms 60000  # stops after the first byte of a body

mkdir "$work/odd"  # names with control characters, which show escaped: still a line per file
names=($'new\nline.mp3' $'tab\t.mp3' $'\e[31mred.mp3' $'bell\a\x7f.mp3')
for name in "${names[@]}"; do cp "$known" "$work/odd/$name"; done
output=$("$fetch" --server "$main" "$music/봄날의 노래.mp3" "$known" "${names[@]/#/$work/odd/}")
check "a batch without failures exits 0: one line per file, the closing line; lyrics stored" \
  "0 성공: 봄날의 노래.mp3|성공: Morning Walk.mp3|성공: new\nline.mp3|성공: tab\t.mp3|\
성공: \x1b[31mred.mp3|성공: bell\x07\x7f.mp3|성공 6, 실패 0, 건너뜀 0|완료.|[ti:Morning Walk]" \
  "$? $(tr '\n' '|' <<<"$output")$(head -1 "${known%.mp3}.lrc" | tr -d '\r')"
output=$("$fetch" --timeout 1 --server "$slow" "$known")
check "--timeout ends a download that takes longer" "1 실패: Morning Walk.mp3" \
  "$? ${output%%$'\n'*}"

lyrics=$(<"${known%.mp3}.lrc")
for signal in INT TERM HUP; do  # each sent while five bodies are on their way into temporaries
  env --default-signal "$fetch" --jobs 16 --server "$stalled" "$known" "$work/odd" >/dev/null &
  wait_until 10 eval '[ "$(ls -A "$music" "$work/odd" | grep -c part)" = 5 ]' ||
    fatal "not five downloads under way at once"
  kill -s $signal $! && wait $!
  status=$? number=$(kill -l $signal)
  check "SIG$signal: ends with 128 + $number, no temporary, the lyrics as they were" \
    "$((128 + number)) $lyrics" \
    "$status $(ls -A "$music" "$work/odd" | grep part)$(<"${known%.mp3}.lrc")"
done

# Folders of songs: a table of runs, "DESCRIPTION;EXPECTED;ARGUMENTS" with EXPECTED the exit
# status, the output lines joined by "|", and what went to standard error (a pipe here: no
# progress line).
library="$work/library"
mkdir -p "$library/a/deep/er" "$library/a/fake.mp3" "$library/a.b"
cp "$known" "$library/a/Z.Mp3" && cp "$known" "$library/a/notes.txt"
cp "$music/봄날의 노래.mp3" "$library/a/deep/er/y.mp3" && cp "$unknown" "$library/a.b/x.mp3"
ln -s "$known" "$library/a0.MP3" && ln -s "$music" "$library/linked"
while IFS=';' read description expected arguments; do # a row may go on after a "\"
  output=$(eval "\"\$fetch\" --server \"\$main\" $arguments" 2>"$work/stderr")
  check "$description" "$expected" "$? $(tr '\n' '|' <<<"$output")$(<"$work/stderr")"
done <<'ROWS'
a folder: its songs at any depth, in byte order of the paths, no links to folders;\
1 실패: x.mp3|성공: Z.Mp3|성공: y.mp3|성공: a0.MP3|성공 3, 실패 1, 건너뜀 0|완료.|;"$library"
--skip-existing: songs with lyrics are skipped, and exit 0;\
0 건너뜀: Z.Mp3|건너뜀: y.mp3|건너뜀: a0.MP3|성공 0, 실패 0, 건너뜀 3|완료.|;\
--skip-existing "$library/a" "$library/a0.MP3"
--jobs 3: the lines in song order, though the first song is the last done;\
1 실패: Morning Walk.mp3|실패: x.mp3|실패: 이름 없는 곡.mp3|성공 0, 실패 3, 건너뜀 0|완료.|;\
--jobs 3 --timeout 1 --server "$stalled" "$known" "$library/a.b/x.mp3" "$unknown"
ROWS
output=$(F=$fetch S=$main K=$known script -qec '"$F" --server "$S" "$K"' /dev/null </dev/null)
check "on a terminal the progress line shows, and is taken off before each line and at the end" \
  $'0 \r\e[K성공: Morning Walk.mp3\r\n\r1/1, 성공 1, 실패 0\e[K'\
$'\r\e[K성공 1, 실패 0, 건너뜀 0\r\n완료.\r' \
  "$? $output"

# Name lookup counts against --timeout: a resolver of its own (in namespaces of the test's own)
# that never answers, where the system would wait 30 s.
printf 'nameserver 127.0.0.1\noptions timeout:30 attempts:1\n' >"$work/resolv.conf"
silent_resolver='import socket, subprocess, sys
port_53 = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)  # held, so never refused
port_53.bind(("127.0.0.1", 53))
sys.exit(subprocess.run(sys.argv[1:]).returncode)'
output=$(unshare --mount --net sh -c 'ip link set lo up && mount --bind "$0" /etc/resolv.conf &&
  exec python3 -c "$1" timeout 10 "$2" --timeout 1 --server lyrics.example.net "$3"' \
  "$work/resolv.conf" "$silent_resolver" "$fetch" "$known")
check "--timeout 1 ends a job whose name lookup never ends" "1 실패: Morning Walk.mp3" \
  "$? ${output%%$'\n'*}"

check "the server refuses to listen beyond loopback" \
  "lyrics-server: 192.0.2.1 is not a loopback IPv4 address" \
  "$("$server" --address 192.0.2.1 --port 0 --lyrics "$work/lyrics" 2>&1)"
exec 3<>"/dev/tcp/${main/://}"
outside="/ovra-player/carvelo/update/carvelo/../lyrics/$(ls "$work/lyrics" | head -1)"
printf 'GET %s HTTP/1.0\r\n\r\n' "$outside" >&3
check "the server serves nothing outside its folders" "HTTP/1.0 404 Not Found" \
  "$(head -1 <&3 | tr -d '\r')"

# Soak: a batch with failures, 1,000 jobs in a process that may hold 64 descriptors, so that one
# left open by each job makes the later jobs fail. A leak report would change the exit status.
for ((i = 0; i < 500; i++)); do songs+=("$known" "$unknown"); done
output=$(ulimit -n 64 && "$fetch" --server "$main" "${songs[@]}")
check "1,000 jobs within 64 descriptors exit 1: a line per file, then the closing line" \
  "1: 500 known, 500 not, 완료." "$?: $(grep -c -x "성공: ${known##*/}" <<<"$output") known, \
$(grep -c -x "실패: ${unknown##*/}" <<<"$output") not, $(tail -1 <<<"$output")"
check "no temporary file remains" "" "$(ls -A "$music" | grep -v -E '\.(mp3|lrc)$')"

expect_conventions "$fetch" <<EOF || failures=$((failures + $?))
0 out --help
0 version --version
2 err
2 err --bogus a.mp3
2 err --timeout 0 a.mp3
2 err --jobs 17 a.mp3
EOF
