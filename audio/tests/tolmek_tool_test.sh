#!/usr/bin/env bash
# tolmek decode and tolmek tags from the outside: the WAV file is readable
# by sox, has the asked format, and sounds like an independent decoder's
# output (for FLAC, is the same file); output to a pipe, and no output path
# lost to a failure; the tags come out as text lines; bad input exits with 2
# and a message naming the file; help, usage errors and the version.
# Usage: tolmek_tool_test.sh FIXTURE_DIR TOLMEK_COMMAND...
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
  local want=$1 got
  shift
  "${tolmek[@]}" "$@" >"$work/out" 2>"$work/err" </dev/null
  got=$?
  [ "$got" = "$want" ] || fail "tolmek $* exited with $got, expected $want: $(cat "$work/err")"
}

# sox --i prints one property per option.
wav_property() { sox --i "$1" "$2" 2>/dev/null; }

# The RMS of the difference between two WAV files of one format, relative
# to the RMS of the first, as "sox stat" measures them.
relative_difference() {
  local signal diff
  signal=$(sox "$1" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
  diff=$(sox -m -v 1 "$1" -v -1 "$2" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
  awk -v s="$signal" -v d="$diff" 'BEGIN { printf "%.6f", d / s }'
}

# decode at the file's own rate, compared with ffmpeg's decoder
expect_exit 0 decode "$fixtures/stereo_44100.mp3" -o "$work/decoded.wav"
[ "$(wav_property -r "$work/decoded.wav")" = 44100 ] || fail "rate of decoded.wav"
[ "$(wav_property -c "$work/decoded.wav")" = 2 ] || fail "channels of decoded.wav"
[ "$(wav_property -b "$work/decoded.wav")" = 16 ] || fail "bits of decoded.wav"
ffmpeg -loglevel error -i "$fixtures/stereo_44100.mp3" -c:a pcm_s16le "$work/ffmpeg.wav"
ours=$(wav_property -s "$work/decoded.wav")
theirs=$(wav_property -s "$work/ffmpeg.wav")
[ "$ours" = "$theirs" ] || fail "decoded $ours frames, ffmpeg $theirs"
difference=$(relative_difference "$work/ffmpeg.wav" "$work/decoded.wav")
awk -v d="$difference" 'BEGIN { exit !(d < 0.001) }' ||
  fail "decoded.wav differs from ffmpeg's decoding by $difference of its level"

# decode with a forced rate and channel count
expect_exit 0 decode "$fixtures/stereo_44100.mp3" -o "$work/mono.wav" --rate 22050 --channels 1
[ "$(wav_property -r "$work/mono.wav")" = 22050 ] || fail "rate of mono.wav"
[ "$(wav_property -c "$work/mono.wav")" = 1 ] || fail "channels of mono.wav"
frames=$(wav_property -s "$work/mono.wav")
[ $((frames)) -gt 43000 ] && [ $((frames)) -lt 45000 ] || fail "mono.wav has $frames frames for 2 s"

# FLAC: the whole WAV file as flac -d writes it, through small reads too
flac -s -d -o "$work/flac.wav" "$fixtures/stereo_44100.flac"
for size in 4096 1000; do
  expect_exit 0 decode "$fixtures/stereo_44100.flac" -o "$work/decoded.wav" --read-size $size
  cmp -s "$work/decoded.wav" "$work/flac.wav" || fail "FLAC read $size at a time differs from flac -d"
done
# Vorbis: the same PCM on every target, Tremor being an integer decoder
if [ -n "${TOLMEK_NATIVE_TOLMEK:-}" ]; then
  expect_exit 0 decode "$fixtures/stereo_44100.ogg" -o "$work/decoded.wav"
  "$TOLMEK_NATIVE_TOLMEK" decode "$fixtures/stereo_44100.ogg" -o "$work/native.wav" ||
    fail "the native build's tolmek cannot decode"
  cmp -s "$work/decoded.wav" "$work/native.wav" || fail "Vorbis PCM differs from the native build's"
fi

# standard output, a pipe: the same PCM, after a header of unknown sizes
"${tolmek[@]}" decode "$fixtures/stereo_44100.flac" -o - | tail -c +45 >"$work/piped.pcm" ||
  fail "decoding to a pipe failed"
tail -c +45 "$work/flac.wav" | cmp -s - "$work/piped.pcm" || fail "decoding to a pipe"

# A failure keeps what the output path held: a file, a FIFO (as a device
# would be), and leaves no temporary beside them.
echo "an earlier file" >"$work/kept.wav"
mkfifo "$work/fifo.wav"
cat "$work/fifo.wav" >/dev/null &
for kept in kept.wav fifo.wav; do
  expect_exit 1 decode "$fixtures/rate_change.mp3" -o "$work/$kept"
done
wait
[ "$(cat "$work/kept.wav")" = "an earlier file" ] || fail "a failed decode changed an earlier file"
[ -p "$work/fifo.wav" ] || fail "a failed decode removed the FIFO it wrote to"
[ -z "$(ls "$work" | grep -E '\.wav\.')" ] || fail "temporaries left: $(ls "$work" | tr "\n" " ")"

# tags, with and without the native encoding
expect_exit 0 tags "$fixtures/tagged_cp949.mp3" --native-encoding CP949
printf 'title: 한글 노래\nartist: Tolmek Ensemble\nyear: 2024\n' >"$work/want"
cmp -s "$work/out" "$work/want" || fail "tags printed: $(cat "$work/out")"
for tagged in tagged.flac mono_22050.ogg; do
  expect_exit 0 tags "$fixtures/$tagged"
  grep -qx 'title: Second' "$work/out" || fail "tags of $tagged printed: $(cat "$work/out")"
done
expect_exit 0 tags "$fixtures/stereo_44100.mp3"
[ ! -s "$work/out" ] || fail "tags of an untagged file printed: $(cat "$work/out")"

# Command-line conventions, and input that cannot be used: the message
# names the tool and the file.
expect_conventions "${tolmek[@]}" <<EOF || failures=$((failures + $?))
0 out --help
0 version --version
0 out decode --help
0 out tags -h
2 err
2 err no-such-command
2 err decode $fixtures/stereo_44100.mp3
2 err decode $fixtures/stereo_44100.mp3 -o $work/x.wav --channels 3
2 err tags
EOF
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

# a format change cannot be held by one WAV file: failure, no output
expect_exit 1 decode "$fixtures/rate_change.mp3" -o "$work/x.wav"
[ ! -e "$work/x.wav" ] || fail "a failed decode left its output file"
expect_exit 0 decode "$fixtures/rate_change.mp3" -o "$work/x.wav" --rate 32000

[ "$failures" = 0 ] && echo "ok: tolmek decode and tags"
exit $((failures > 0))
