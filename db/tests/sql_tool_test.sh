#!/usr/bin/env bash
# tolmek sql on a real database file: the sqlite3 shell reads back what the
# tool wrote, and the tool prints what the shell stored, as text or JSON;
# failures name the database file; help and usage errors.
# Usage: sql_tool_test.sh WORKDIR [EMULATOR...] TOLMEK
set -uo pipefail
source "$(dirname "$0")/../../tests/e2e/cli_conventions.sh"
workdir=$1
shift
tolmek=("$@") # the emulator, if any, then the program
rm -rf "$workdir" && mkdir -p "$workdir"
db=$workdir/music.db
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs tolmek sql ARGS...: the exit and both output streams must be as given.
check() { # WHAT EXIT STDOUT STDERR ARGS...
  local what=$1 want="$2 [$3] [$4]" got
  shift 4
  got=$("${tolmek[@]}" sql "$@" 2>"$workdir/stderr")
  got="$? [$got] [$(cat "$workdir/stderr")]"
  [ "$got" = "$want" ] || fail "$what: expected $want, got $got"
}

check create 0 "" "" "$db" "CREATE TABLE songs(id INTEGER PRIMARY KEY, title TEXT, rating REAL);
  INSERT INTO songs(title, rating)
  VALUES ('밤편지', 4.5), ('', NULL), ('a	b' || char(10) || 'c\\\"', 3)"
[ "$(sqlite3 "$db" 'SELECT title FROM songs ORDER BY id')" = "$(printf '밤편지\n\na\tb\nc\\"')" ] ||
  fail "the sqlite3 shell read other titles"

# Tabs, line feeds and backslashes in values are escaped: one line per row.
check text 0 'id	title	rating
1	밤편지	4.5
2		NULL
3	a\tb\nc\\"	3.0' "" "$db" "SELECT id, title, rating FROM songs ORDER BY id"
check json 0 '[
{"id": "1", "the title": "밤편지", "rating": "4.5"},
{"id": "2", "the title": "", "rating": null},
{"id": "3", "the title": "a\u0009b\u000ac\\\"", "rating": "3.0"}
]' "" --json "$db" "SELECT id, title AS \"the title\", rating FROM songs ORDER BY id"
check "json, no rows" 0 "[]" "" --json "$db" "SELECT * FROM songs WHERE id > 10"
check "no rows" 0 "" "" "$db" "SELECT * FROM songs WHERE id > 10"
check failure 1 "" "tolmek: $db: no such table: missing" \
  "$db" "SELECT * FROM songs; SELECT * FROM missing"
check "open failure" 1 "" "tolmek: $workdir/no/such/dir.db: unable to open database file" \
  "$workdir/no/such/dir.db" "SELECT 1"

expect_conventions "${tolmek[@]}" <<EOF || failures=$((failures + $?))
0 out sql --help
2 err sql $db
2 err sql --csv $db SELECT
EOF
exit $((failures > 0))
