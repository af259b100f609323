#!/usr/bin/env bash
# tolmek decode and tags from the outside. Usage: tolmek_tool_test.sh FIXTURE_DIR
# TOLMEK_COMMAND... (which may start with an emulator)
set -euo pipefail
fixtures=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND"' ERR

"$@" decode "$fixtures/damaged.mp3" -o "$work/decoded.wav" --rate 44100 2>"$work/err"
diff /dev/null "$work/err" # mpg123 is quiet
"$@" decode "$fixtures/stereo_44100.flac" -o "$work/decoded.wav" --read-size 1000
cmp "$work/decoded.wav" <(flac -s -d -c "$fixtures/stereo_44100.flac") # flac -d's WAV
if [ -n "${TOLMEK_NATIVE_TOLMEK:-}" ]; then # Tremor decodes in integers on every target
  "$@" decode "$fixtures/stereo_44100.ogg" -o "$work/decoded.wav"
  "$TOLMEK_NATIVE_TOLMEK" decode "$fixtures/stereo_44100.ogg" -o "$work/native.wav"
  cmp "$work/decoded.wav" "$work/native.wav"
fi

# A format change fails a WAV file: a file there is kept, no temporary left.
echo "an earlier file" >"$work/kept.wav"
"$@" decode "$fixtures/rate_change.mp3" -o "$work/kept.wav" 2>/dev/null && exit 1 || [ $? = 1 ]
[ "$(cat "$work/kept.wav")" = "an earlier file" ]
[ -z "$(find "$work" -name '*.wav.*')" ]
for expected in "$fixtures"/*.tags; do # the native encoding to set, then what is printed
  encoding=$(head -n 1 "$expected")
  "$@" tags "${expected%.tags}" ${encoding:+--native-encoding "$encoding"} >"$work/out"
  tail -n +2 "$expected" | diff - "$work/out"
done
source "$(dirname "$0")/../../tests/e2e/cli_conventions.sh"
set +e # the conventions' commands fail on purpose
printf '0 out --help\n0 version --version\n2 err\n2 err bogus\n2 err decode\n' | expect_conventions "$@"
