#!/usr/bin/env bash
# tolmek decode and tags from the outside: the WAV file sounds like an
# independent decoder's output (for FLAC, is the same file), also through a
# pipe; a failure loses no earlier output; tags come out as text lines; bad
# input exits with 2 and a message naming the file, and the library itself
# says nothing. Usage: tolmek_tool_test.sh FIXTURE_DIR TOLMEK_COMMAND...
# (the command may start with an emulator).
set -uo pipefail
source "$(dirname "$0")/../../tests/e2e/cli_conventions.sh"

fixtures=$1
shift
tolmek=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expect_exit() { # CODE ARGS...
  "${tolmek[@]}" "${@:2}" >"$work/out" 2>"$work/err" </dev/null
  local got=$?
  [ "$got" = "$1" ] || fail "tolmek ${*:2} exited with $got, expected $1: $(cat "$work/err")"
}

# MP3 at the file's own rate against ffmpeg: the same frames, and an RMS
# difference below 0.1 % of the tone's level (0.5).
expect_exit 0 decode "$fixtures/stereo_44100.mp3" -o "$work/decoded.wav"
ffmpeg -loglevel error -i "$fixtures/stereo_44100.mp3" -c:a pcm_s16le "$work/ffmpeg.wav"
difference=$(sox -m -v 1 "$work/ffmpeg.wav" -v -1 "$work/decoded.wav" -n stat 2>&1 |
  awk '/RMS +amplitude/ {print $3 < 0.0005}')
[ "$(sox --i -s "$work/decoded.wav")" = "$(sox --i -s "$work/ffmpeg.wav")" ] &&
  [ "$difference" = 1 ] || fail "decoded.wav differs from ffmpeg's decoding"

# Damage within an MP3 is passed over without a word on stderr.
{ head -c 20000 "$fixtures/stereo_44100.mp3"; head -c 3000 "$fixtures/not_audio.mp3"
  tail -c +20001 "$fixtures/stereo_44100.mp3"; } >"$work/damaged.mp3"
expect_exit 0 decode "$work/damaged.mp3" -o "$work/decoded.wav" --rate 44100
[ ! -s "$work/err" ] || fail "decoding a damaged MP3 printed: $(cat "$work/err")"

# FLAC: the WAV file flac -d writes, also to a pipe after a header of
# unknown sizes.
flac -s -d -o "$work/flac.wav" "$fixtures/stereo_44100.flac"
expect_exit 0 decode "$fixtures/stereo_44100.flac" -o "$work/decoded.wav" --read-size 1000
cmp -s "$work/decoded.wav" "$work/flac.wav" || fail "FLAC differs from flac -d"
"${tolmek[@]}" decode "$fixtures/stereo_44100.flac" -o - | tail -c +45 >"$work/piped.pcm" &&
  tail -c +45 "$work/flac.wav" | cmp -s - "$work/piped.pcm" || fail "decoding to a pipe"
# Vorbis: the same PCM on every target, Tremor being an integer decoder.
if [ -n "${TOLMEK_NATIVE_TOLMEK:-}" ]; then
  expect_exit 0 decode "$fixtures/stereo_44100.ogg" -o "$work/decoded.wav"
  "$TOLMEK_NATIVE_TOLMEK" decode "$fixtures/stereo_44100.ogg" -o "$work/native.wav"
  cmp -s "$work/decoded.wav" "$work/native.wav" || fail "Vorbis PCM differs from the native build's"
fi

# A format change cannot be held by one WAV file: the failure keeps what
# the output path held, a file or a FIFO, and leaves no temporary beside it.
echo "an earlier file" >"$work/kept.wav"
mkfifo "$work/fifo.wav"
cat "$work/fifo.wav" >/dev/null &
for output in kept.wav fifo.wav new.wav; do
  expect_exit 1 decode "$fixtures/rate_change.mp3" -o "$work/$output"
done
wait
[ "$(cat "$work/kept.wav")" = "an earlier file" ] || fail "a failed decode changed an earlier file"
[ -p "$work/fifo.wav" ] || fail "a failed decode removed the FIFO it wrote to"
[ ! -e "$work/new.wav" ] && ! ls "$work" | grep -q '\.wav\.' || fail "left: $(ls "$work")"
expect_exit 0 decode "$fixtures/rate_change.mp3" -o "$work/new.wav" --rate 32000

expect_exit 0 tags "$fixtures/tagged_cp949.mp3" --native-encoding CP949
printf 'title: 한글 노래\nartist: Tolmek Ensemble\nyear: 2024\n' | cmp -s - "$work/out" ||
  fail "tags printed: $(cat "$work/out")"
expect_exit 0 tags "$fixtures/stereo_44100.mp3"
[ ! -s "$work/out" ] || fail "tags of an untagged file printed: $(cat "$work/out")"

expect_conventions "${tolmek[@]}" <<EOF || failures=$((failures + $?))
0 out --help
0 version --version
0 out tags -h
2 err
2 err no-such-command
2 err decode $fixtures/stereo_44100.mp3
2 err decode $fixtures/stereo_44100.mp3 -o $work/x.wav --channels 3
EOF
# Input that cannot be used: the message names the tool and the file.
cp "$fixtures/not_audio.mp3" "$work/not_audio.ogg"
cp "$fixtures/not_audio.mp3" "$work/not_audio.flac"
while read -r file message; do
  expect_exit 2 decode "$file" -o "$work/x.wav"
  [ "$(cat "$work/err")" = "tolmek: $file: $message" ] || fail "decoding $file: $(cat "$work/err")"
done <<EOF
$fixtures/stereo_44100.mp3.txt no decoder takes files of this kind
$fixtures/not_audio.mp3 not an MP3 stream
$work/not_audio.ogg not an Ogg Vorbis stream
$work/not_audio.flac not a FLAC stream
$work/missing.mp3 cannot open: No such file or directory
EOF
expect_exit 2 tags "$fixtures/tagged_cp949.mp3" --native-encoding NO-SUCH-ENCODING
[ ! -e "$work/x.wav" ] || fail "a failed decode left its output file"

[ "$failures" = 0 ] && echo "ok: tolmek decode and tags"
exit $((failures > 0))
