#!/usr/bin/env bash
# tolmek sql on a real database file: the tool writes it, the sqlite3 shell
# reads it back, and the tool prints what the shell stored; failures name
# the database file; help and usage errors.
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

# Runs the tool; sets out, err and status.
run_sql() {
  out=$("${tolmek[@]}" sql "$@" 2>"$workdir/stderr")
  status=$?
  err=$(cat "$workdir/stderr")
}

expect() { # what, expected, actual
  [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

run_sql "$db" "CREATE TABLE songs(id INTEGER PRIMARY KEY, title TEXT, rating REAL);
               INSERT INTO songs(title, rating) VALUES ('밤편지', 4.5), ('', NULL),
                 ('a	b' || char(10) || 'c\\\"', 3)"
expect "create: exit" 0 "$status"
expect "written file" "$(printf '밤편지\n\na\tb\nc\\"')" "$(sqlite3 "$db" 'SELECT title FROM songs ORDER BY id')"

# Tabs, line feeds and backslashes in values are escaped: one line per row.
run_sql "$db" "SELECT id, title, rating FROM songs ORDER BY id"
expect "select: exit" 0 "$status"
expect "select: output" 'id	title	rating
1	밤편지	4.5
2		NULL
3	a\tb\nc\\"	3.0' "$out"

run_sql --json "$db" "SELECT id, title AS \"the title\", rating FROM songs ORDER BY id"
expect "json: exit" 0 "$status"
expect "json: output" '[
{"id": "1", "the title": "밤편지", "rating": "4.5"},
{"id": "2", "the title": "", "rating": null},
{"id": "3", "the title": "a\u0009b\u000ac\\\"", "rating": "3.0"}
]' "$out"
run_sql --json "$db" "SELECT * FROM songs WHERE id > 10"
expect "json, no rows" "[]" "$out"

run_sql "$db" "SELECT * FROM songs WHERE id > 10"
expect "no rows: exit" 0 "$status"
expect "no rows: output" "" "$out"

run_sql "$db" "SELECT * FROM songs; SELECT * FROM missing"
expect "failure: exit" 1 "$status"
expect "failure: message" "tolmek: $db: no such table: missing" "$err"

run_sql "$workdir/no/such/dir.db" "SELECT 1"
expect "open failure: exit" 1 "$status"
expect "open failure: message" "tolmek: $workdir/no/such/dir.db: unable to open database file" "$err"

expect_conventions "${tolmek[@]}" <<EOF || failures=$((failures + $?))
0 out sql --help
2 err sql $db
2 err sql --csv $db SELECT
EOF

if [ "$failures" -gt 0 ]; then exit 1; fi
echo "ok: tolmek sql"
