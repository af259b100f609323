#!/usr/bin/env bash
# tolmek text: the PNG holds the drawn pixels on both targets; an unusable
# font exits with 2, naming the file, and nothing is written; a usage error.
# Usage: text_tool_test.sh FIXTURE_DIR WORK_DIR TOLMEK_COMMAND...
set -uo pipefail
source "$(dirname "$0")/../../tests/e2e/cli_conventions.sh"
fixtures=$1 work=$2
shift 2
tolmek=("$@")
rm -rf "$work" && mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# "a" is a 3 x 4 box on the baseline at size 10 (rows 5 to 8); the second
# line is clipped away. Rows 4 and 5 as RGB, read back with ffmpeg:
printf 'a\na' >"$work/lines.txt"
blue=0000ff red=ff0000
for target in image fb; do
  out=$("${tolmek[@]}" text --font "$fixtures/layout.ttf" -o "$work/$target.png" --target $target --size 10 \
    --canvas 5x10 --box 1,0,5,10 --align right --colour ff0000 --background 0000ff --clip --file "$work/lines.txt")
  [ "$?:$out" = "0:result: 30" ] || fail "$target: $out"
  rows=$(ffmpeg -loglevel error -i "$work/$target.png" -vf crop=iw:2:0:4 -f rawvideo -pix_fmt rgb24 - |
    od -An -v -tx1 | tr -d ' \n')
  [ "$rows" = "$blue$blue$blue$blue$blue$blue$blue$red$red$red" ] || fail "$target rows 4 and 5: $rows"
done
err=$("${tolmek[@]}" text --font "$work/lines.txt" -o "$work/bad.png" a 2>&1 >/dev/null)
[ "$?:$err" = "2:tolmek: $work/lines.txt: not a font FreeType can open" ] || fail "not a font: $err"
[ ! -e "$work/bad.png" ] || fail "a refused call wrote bad.png"
echo "2 err text --font $fixtures/layout.ttf -o $work/bad.png --align middle a" |
  expect_conventions "${tolmek[@]}" || failures=$((failures + $?))
exit $((failures > 0))
