#!/usr/bin/env bash
# tolmek decode and tags from the outside: FLAC comes out as flac -d's WAV,
# a failure keeps what the output path held, mpg123 says nothing on damage.
# Usage: tolmek_tool_test.sh FIXTURE_DIR TOLMEK_COMMAND... (may start with an emulator)
set -uo pipefail
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

{ head -c 20000 "$fixtures/stereo_44100.mp3"; head -c 3000 "$fixtures/not_audio.mp3"
  tail -c +20001 "$fixtures/stereo_44100.mp3"; } >"$work/damaged.mp3"
expect_exit 0 decode "$work/damaged.mp3" -o "$work/decoded.wav" --rate 44100
[ ! -s "$work/err" ] || fail "decoding a damaged MP3 printed: $(cat "$work/err")"
flac -s -d -o "$work/flac.wav" "$fixtures/stereo_44100.flac"
expect_exit 0 decode "$fixtures/stereo_44100.flac" -o "$work/decoded.wav" --read-size 1000
cmp -s "$work/decoded.wav" "$work/flac.wav" || fail "FLAC differs from flac -d"
if [ -n "${TOLMEK_NATIVE_TOLMEK:-}" ]; then # Tremor decodes in integers on every target
  expect_exit 0 decode "$fixtures/stereo_44100.ogg" -o "$work/decoded.wav"
  "$TOLMEK_NATIVE_TOLMEK" decode "$fixtures/stereo_44100.ogg" -o "$work/native.wav"
  cmp -s "$work/decoded.wav" "$work/native.wav" || fail "Vorbis PCM differs from the native build's"
fi

# A format change fails a WAV file: a file or FIFO there is kept, no temporary left.
echo "an earlier file" >"$work/kept.wav"
mkfifo "$work/fifo.wav"
cat "$work/fifo.wav" >/dev/null &
for output in kept.wav fifo.wav new.wav; do
  expect_exit 1 decode "$fixtures/rate_change.mp3" -o "$work/$output"
done
wait
[ "$(cat "$work/kept.wav")" = "an earlier file" ] && [ -p "$work/fifo.wav" ] &&
  [ ! -e "$work/new.wav" ] && ! ls "$work" | grep -q '\.wav\.' || fail "left: $(ls "$work")"
expect_exit 2 decode "$work/kept.wav" -o "$work/x.wav"
[ "$(cat "$work/err")" = "tolmek: $work/kept.wav: no decoder takes files of this kind" ] &&
  [ ! -e "$work/x.wav" ] || fail "decoding kept.wav: $(cat "$work/err")"
expect_exit 0 tags "$fixtures/tagged_cp949.mp3" --native-encoding CP949
printf 'title: 한글 노래\nartist: Tolmek Ensemble\nyear: 2024\n' | cmp -s - "$work/out" ||
  fail "tags printed: $(cat "$work/out")"
[ "$failures" = 0 ] && echo "ok: tolmek decode and tags"
exit $((failures > 0))
