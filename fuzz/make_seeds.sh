#!/usr/bin/env bash
# Seed corpora of the fuzz harnesses, one folder per harness under DIR,
# from the generators the tests use: the audio fixtures (sox and lame),
# tagged files built with the audio tests' ID3 helpers (TAGGED_FILES, the
# fuzz_tagged_files program), hand-made ID3v2 chains and SQL.
# Usage: make_seeds.sh DIR TAGGED_FILES
set -euo pipefail

out=${1:?usage: make_seeds.sh DIR TAGGED_FILES}
tagged_files=${2:?usage: make_seeds.sh DIR TAGGED_FILES}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out"
mkdir -p "$out"/{media,fingerprint,mp3,database}

bash "$here/../audio/tests/make_fixtures.sh" "$out/media"
"$tagged_files" "$out/media"
rm "$out/media/long_stereo_44100.mp3" # too long to be worth mutating

# --- fingerprint: the small tagged files, and ID3v2 chains by hand --------
cp "$out"/media/{tagged_*,short_mono_16000}.mp3 "$out/fingerprint/"
# seed NAME BYTES...: a file of the printf-expanded bytes
seed() {
  local name=$1
  shift
  printf "$@" >"$out/fingerprint/$name"
}
tag='ID3\4\0\0\0\0\0\5TTTTT'
seed empty ''
seed short 'ID3\4'
seed chain "${tag}${tag}\0\0\1audio"
seed footer 'ID3\4\0\20\0\0\0\2TT3DI\4\0\20\0\0\0\2\0\0\377\373audio'
seed bad_size 'ID3\4\0\0\0\0\200\0audio'
seed past_end 'ID3\4\0\0\0\7\177\177audio'
seed zeros_then_tag "${tag}\0\0${tag}audio"

# --- mp3: each file behind a setup block (see mp3.cpp) --------------------
# Defaults (stereo at 44100 Hz); and scan, CP949 tags, mono at 22050 Hz,
# odd read sizes and a seek before the fourth read.
for file in "$out"/media/*.mp3; do
  name=$(basename "$file" .mp3)
  { printf '\0\0\0\0\0\0\0\0'; cat "$file"; } >"$out/mp3/$name"
  { printf '\13\1\45\3\350\3\0\0'; cat "$file"; } >"$out/mp3/$name-scan"
done

# --- database: a gather flag byte, then SQL -------------------------------
n=0
while IFS= read -r sql; do
  n=$((n + 1))
  printf '\1%s' "$sql" >"$out/database/$n"
  printf '\0%s' "$sql" >"$out/database/$n-without-table"
done <<'SQL'
CREATE TABLE songs(id INTEGER PRIMARY KEY, title TEXT, lyrics BLOB); INSERT INTO songs(title, lyrics) VALUES ('첫 번째', x'00ff'), ('', NULL); SELECT * FROM songs;
SELECT 1, 2, 3; SELECT 4; SELECT 5, 6, 7, 8, 9
PRAGMA empty_result_callbacks = ON; CREATE TABLE t(a, b); SELECT * FROM t; UPDATE t SET a = 1
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) SELECT i, printf('%08d', i), zeroblob(i % 7) FROM n
SELECT * FROM missing
SELECT 'O''Reilly', "quoted", NULL, 1.5e300, -9223372036854775808, x'41004243'
CREATE TABLE a(x); CREATE INDEX ax ON a(x); INSERT INTO a SELECT value FROM json_each('[1,"2",null,3.5]'); SELECT group_concat(x, '|') FROM a GROUP BY typeof(x) ORDER BY 1
ATTACH ':memory:' AS other
SELECT load_extension('nothing')
BEGIN; CREATE TABLE b(x UNIQUE); INSERT INTO b VALUES (1), (1); COMMIT
SQL
