#!/usr/bin/env bash
# tolmek from the outside: decode and tags on the audio tests' media, sql on a new database, text
# in the font tests' fonts, and the command-line conventions of every command.
# Usage: tolmek_test.sh MEDIA_DIR FONT_DIR WORK_DIR TOLMEK_COMMAND... (which may start with an
# emulator).
set -uo pipefail
source "$(dirname "$0")/../../../tests/e2e/cli_conventions.sh"
media=$1 fonts=$2 work=$3
shift 3
tolmek=("$@")
rm -rf "$work" && mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { # WHAT EXIT STDOUT STDERR ARGUMENTS...: the exit code and both output streams
  local what=$1 want="$2 [$3] [$4]" got
  shift 4
  got=$("${tolmek[@]}" "$@" 2>"$work/stderr")
  got="$? [$got] [$(cat "$work/stderr")]"
  [ "$got" = "$want" ] || fail "$what: expected $want, got $got"
}

# decode: mpg123 stays quiet on damaged input; FLAC comes out as flac -d writes it.
check "damaged MP3" 0 "" "" decode "$media/damaged.mp3" -o "$work/decoded.wav" --rate 44100
"${tolmek[@]}" decode "$media/stereo_44100.flac" -o "$work/decoded.wav" --read-size 1000
cmp "$work/decoded.wav" <(flac -s -d -c "$media/stereo_44100.flac") || fail "FLAC as flac -d"
# A format change or a full disk (found when finishing a file within stdio's buffer) keep a file.
echo "an earlier file" >"$work/kept.wav"
changes="the format changes within the stream; a WAV file holds one"
check "MP3 format change" 1 "" "tolmek: $media/rate_change.mp3: $changes (choose one with --rate)" \
  decode "$media/rate_change.mp3" -o "$work/kept.wav"
check "Ogg format change" 1 "" "tolmek: $media/chained.ogg: $changes" \
  decode "$media/chained.ogg" -o "$work/kept.wav"
trap '' XFSZ && ulimit -S -f 1
check "full disk" 1 "" "tolmek: $work/kept.wav: cannot be written" \
  decode "$media/short_mono_16000.mp3" -o "$work/kept.wav" --rate 4000 --channels 1
trap - XFSZ && ulimit -S -f unlimited
[ "$(cat "$work/kept.wav")" = "an earlier file" ] || fail "kept.wav overwritten"
[ -z "$(find "$work" -name '*.wav.*')" ] || fail "a temporary left"

# tags: each NAME.tags holds the native encoding to set, then what is printed.
for expected in "$media"/*.tags; do
  encoding=$(head -n 1 "$expected")
  check "$expected" 0 "$(tail -n +2 "$expected")" "" \
    tags "${expected%.tags}" ${encoding:+--native-encoding "$encoding"}
done

# sql: values escaped one row a line, or as JSON; a failure names the file.
db=$work/music.db
check "sql text" 0 $'id\ttitle\n1\t밤편지\n2\tNULL\n3\ta\\tb\\nc\\\\"' "" sql "$db" \
  "CREATE TABLE songs(id INTEGER PRIMARY KEY, title TEXT); INSERT INTO songs(title)
  VALUES ('밤편지'), (NULL), ('a' || char(9) || 'b' || char(10) || 'c\\\"'); SELECT * FROM songs"
check "sql json" 0 '[
{"id": "1", "the title": "밤편지"},
{"id": "2", "the title": null},
{"id": "3", "the title": "a\u0009b\u000ac\\\""},
{"id": "\u0001", "the title": "\u001f "}
]' "" sql --json "$db" \
  "SELECT id, title AS \"the title\" FROM songs UNION ALL SELECT char(1), char(31, 32)"
check "sql failure" 1 "" "tolmek: $db: no such table: missing" \
  sql "$db" "SELECT 1; SELECT * FROM missing"

# text: "a" is a 3 x 4 box on the baseline at size 10 (rows 5 to 8), right-aligned on both
# targets; the second line is clipped away. Rows 4 and 5 as RGB, read back with ffmpeg.
printf '\xef\xbb\xbfa\na' >"$work/lines.txt" # after a byte-order mark, not drawn
blue=0000ff red=ff0000
for target in image fb; do
  check "text on $target" 0 "result: 30" "" text --font "$fonts/layout.ttf" \
    -o "$work/$target.png" --target $target --size 10 --canvas 5x10 --box 1,0,5,10 \
    --align right --colour ff0000 --background 0000ff --clip --file "$work/lines.txt"
  rows=$(ffmpeg -loglevel error -i "$work/$target.png" -vf crop=iw:2:0:4 -f rawvideo \
    -pix_fmt rgb24 - | od -An -v -tx1 | tr -d ' \n')
  [ "$rows" = "$blue$blue$blue$blue$blue$blue$blue$red$red$red" ] ||
    fail "$target rows 4 and 5: $rows"
done
check "wrapped" 0 "result: 30" "" text --font "$fonts/layout.ttf" -o "$work/wrapped.png" --size 10 \
  --box 0,0,11,48 --wrap words "aa aa" # by glyph three lines: "aa", " a", "a"
check "not a font" 2 "" "tolmek: $work/lines.txt: not a font FreeType can open" \
  text --font "$work/lines.txt" -o "$work/bad.png" a
[ ! -e "$work/bad.png" ] || fail "a refused call wrote bad.png"

printf '%s\n' "0 out --help" "0 version --version" "2 err" "2 err bogus" "2 err decode" \
  "2 err sql $db" "2 err text --font $fonts/layout.ttf -o $work/bad.png --align middle a" |
  expect_conventions "${tolmek[@]}" || failures=$((failures + $?))
exit $((failures > 0))
