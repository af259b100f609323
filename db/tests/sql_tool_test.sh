#!/usr/bin/env bash
# tolmek sql on a database file: values escaped one row a line, or as JSON;
# a failure names the file; a usage error.
# Usage: sql_tool_test.sh WORKDIR [EMULATOR...] TOLMEK
set -uo pipefail
source "$(dirname "$0")/../../tests/e2e/cli_conventions.sh"
workdir=$1
shift
tolmek=("$@") # the emulator, if any, then the program
rm -rf "$workdir" && mkdir -p "$workdir"
db=$workdir/music.db
failures=0

check() { # WHAT EXIT STDOUT STDERR ARGS...: the exit and both output streams
  local what=$1 want="$2 [$3] [$4]" got
  shift 4
  got=$("${tolmek[@]}" sql "$@" 2>"$workdir/stderr")
  got="$? [$got] [$(cat "$workdir/stderr")]"
  [ "$got" = "$want" ] || { echo "FAIL: $what: expected $want, got $got"; failures=$((failures + 1)); }
}

check text 0 'id	title
1	밤편지
2	NULL
3	a\tb\nc\\"' "" "$db" "CREATE TABLE songs(id INTEGER PRIMARY KEY, title TEXT);
  INSERT INTO songs(title) VALUES ('밤편지'), (NULL), ('a	b' || char(10) || 'c\\\"'); SELECT * FROM songs"
check json 0 '[
{"id": "1", "the title": "밤편지"},
{"id": "2", "the title": null},
{"id": "3", "the title": "a\u0009b\u000ac\\\""}
]' "" --json "$db" "SELECT id, title AS \"the title\" FROM songs"
check failure 1 "" "tolmek: $db: no such table: missing" "$db" "SELECT 1; SELECT * FROM missing"
echo "2 err sql $db" | expect_conventions "${tolmek[@]}" || failures=$((failures + $?))
exit $((failures > 0))
