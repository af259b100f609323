#!/usr/bin/env bash
# tolmek text from the outside: the PNG holds the drawn pixels (read back
# with ffmpeg) on both targets, and unusable input exits with 2, naming the
# file; help and usage errors.
# Usage: text_tool_test.sh FIXTURE_DIR WORK_DIR TOLMEK_COMMAND...
set -uo pipefail
source "$(dirname "$0")/../../tests/e2e/cli_conventions.sh"
fixtures=$1 work=$2
shift 2
tolmek=("$@")
rm -rf "$work" && mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

check() { # EXIT STDOUT STDERR ARGS...: the exit and both output streams of tolmek text ARGS...
  local want="$1 [$2] [$3]" got
  shift 3
  got=$("${tolmek[@]}" text "$@" 2>"$work/stderr" </dev/null)
  got="$? [$got] [$(cat "$work/stderr")]"
  [ "$got" = "$want" ] || fail "tolmek text $*: expected $want, got $got"
}

# "a" is a 3 x 4 box on the baseline (y 9 at size 10): rows 5 to 8; the
# second line is clipped away.
printf 'a\na' >"$work/lines.txt"
blue=0000ff red=ff0000
for target in image fb; do
  check 0 "result: 30" "" --font "$fixtures/layout.ttf" -o "$work/$target.png" --target $target --size 10 \
    --canvas 5x10 --box 1,0,5,10 --align right --colour ff0000 --background 0000ff --clip --file "$work/lines.txt"
  rows=$(ffmpeg -loglevel error -i "$work/$target.png" -vf crop=iw:2:0:4 -f rawvideo -pix_fmt rgb24 - |
    od -An -v -tx1 | tr -d ' \n')
  [ "$rows" = "$blue$blue$blue$blue$blue$blue$blue$red$red$red" ] || fail "$target rows 4 and 5: $rows"
done
check 2 "" "tolmek: $work/lines.txt: not a font FreeType can open" --font "$work/lines.txt" -o "$work/bad.png" a
check 2 "" "tolmek: $work/missing.ttf: cannot open: No such file or directory" \
  --font "$work/missing.ttf" -o "$work/bad.png" a
expect_conventions "${tolmek[@]}" <<EOF || failures=$((failures + $?))
0 out text --help
2 err text --font $fixtures/layout.ttf -o $work/bad.png --align middle a
2 err text --font $fixtures/layout.ttf -o $work/bad.png --file $work/lines.txt a
