#!/usr/bin/env bash
# tolmek text from the outside: the PNG holds the drawn pixels (read back
# with ffmpeg) on both targets, and unusable input exits with 2, naming the
# file; help and usage errors.
# Usage: text_tool_test.sh FIXTURE_DIR WORK_DIR TOLMEK_COMMAND...
set -uo pipefail
source "$(dirname "$0")/../../tests/e2e/cli_conventions.sh"
fixtures=$1 work=$2
shift 2
rm -rf "$work" && mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
tolmek=("$@")
run() { # EXPECTED_EXIT ARGS...
  local want=$1 got
  shift
  "${tolmek[@]}" text "$@" >"$work/out" 2>"$work/err" </dev/null
  got=$?
  [ "$got" = "$want" ] || fail "tolmek text $* exited with $got, expected $want: $(cat "$work/err")"
}
row() { # PNG ROW: its pixels as RGB hex
  ffmpeg -loglevel error -i "$1" -vf "crop=iw:1:0:$2" -f rawvideo -pix_fmt rgb24 - | od -An -v -tx1 |
    tr -d ' \n' | sed 's/....../& /g; s/ $//'
}

# "a" is a 3 x 4 box on the baseline (y 9 at size 10): rows 5 to 8.
for target in image fb; do
  run 0 --font "$fixtures/layout.ttf" -o "$work/$target.png" --target $target --size 10 \
    --canvas 5x10 --box 1,0,5,10 --colour ff0000 --background 0000ff a
  [ "$(cat "$work/out")" = "result: 15" ] || fail "$target printed $(cat "$work/out")"
  [ "$(row "$work/$target.png" 5)" = "0000ff ff0000 ff0000 ff0000 0000ff" ] || fail "$target row 5"
  [ "$(row "$work/$target.png" 4)" = "0000ff 0000ff 0000ff 0000ff 0000ff" ] || fail "$target row 4"
done

printf 'aaa\naaa' >"$work/lines.txt"
run 0 --font "$fixtures/layout.ttf" -o "$work/lines.png" --size 10 --canvas 20x40 \
  --align center --valign bottom --clip --file "$work/lines.txt"
[ "$(cat "$work/out")" = "result: 45" ] || fail "two lines printed $(cat "$work/out")"

while read -r font message; do
  run 2 --font "$font" -o "$work/bad.png" a
  [ "$(cat "$work/err")" = "tolmek: $font: $message" ] || fail "font $font: $(cat "$work/err")"
done <<EOF
$work/lines.txt not a font FreeType can open
$work/missing.ttf cannot open: No such file or directory
EOF
expect_conventions "${tolmek[@]}" <<EOF || failures=$((failures + $?))
0 out text --help
2 err text --font $fixtures/layout.ttf -o $work/bad.png --align middle a
2 err text --font $fixtures/layout.ttf -o $work/bad.png --file $work/lines.txt a
EOF
[ ! -e "$work/bad.png" ] || fail "a refused call wrote bad.png"
exit $((failures > 0))
