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
mkdir -p "$out"/{media,fingerprint,mp3,database,http,vorbis,flac,layout}

bash "$here/../audio/tests/make_fixtures.sh" "$out/media"
"$tagged_files" "$out/media"
rm "$out"/media/long_stereo_44100.* # too long to be worth mutating

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

# --- vorbis, flac: each file behind the six bytes of the stream walk -------
# (stream_walk.h): as they come, and with odd read sizes and a seek to frame
# 4096 before the fourth read. FLAC files are cut after their first frames.
for file in "$out"/media/*.ogg "$out"/media/*.flac; do
  name=$(basename "$file") format=vorbis
  [ "${name##*.}" = flac ] && format=flac
  { printf '\0\0\0\0\0\0'; head -c 20000 "$file"; } >"$out/$format/${name%.*}"
  { printf '\13\3\0\20\0\0'; head -c 20000 "$file"; } >"$out/$format/${name%.*}-seek"
done

# --- http: a flags byte (bit 0 text mode, bit 1 an earlier output), the ----
# body bound (2 bytes), the count of cuts and a length less one per cut, then
# the answer (see http.cpp).
answer() {
  local name=$1
  shift
  printf "$@" >"$out/http/$name"
}
ok='HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\nline\r\nline\n'
answer whole '\0\377\377\0'"$ok"
answer text_cut_three_times '\1\377\377\3\3\20\1'"$ok"
answer byte_by_byte '\1\377\377\17\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0'"$ok"
answer bound_below_length '\0\4\0\0'"$ok"
answer not_found_over_earlier '\2\377\377\0HTTP/1.0 404 Not Found\r\n\r\nmissing'
answer without_length '\1\377\377\1\40HTTP/1.1 200 OK\r\nServer: test\r\n\r\nbody\nwithout a length'
answer bound_on_the_body '\0\5\0\0HTTP/1.1 200 OK\r\n\r\nlonger than five'
answer malformed_length '\0\377\377\0HTTP/1.0 200 OK\r\nContent-Length: 1x\r\n\r\nx'
answer length_twice '\3\377\377\0HTTP/1.0 200 OK\r\nContent-Length: 4\r\ncontent-length:  4 \r\n\r\nbody'
answer closed_early '\0\377\377\0HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nbody'
answer only_a_header '\2\377\377\0HTTP/1.0 200 OK\r\n\r\n'
answer no_header_end '\0\377\377\0HTTP/1.0 200 OK\r\nContent-Length: 4\r\n'
answer header_too_long '\0\377\377\0HTTP/1.0 200 OK\r\n%s\r\nbody' "$(printf 'X-Padding: %0100d\r\n' $(seq 45))"

# --- layout: the setup of layout.cpp packed, then the code points --------
python3 - "$out/layout" <<'PYTHON'
import struct, sys
def seed(name, font, text, box, size=10, flags=0, target=(40, 40)):
    setup = struct.pack("<BBBHH4iI", font, *target, size - 1, flags, *box, 0xFF8040)
    points = [ord(c) for c in text] if isinstance(text, str) else text
    open(sys.argv[1] + "/" + name, "wb").write(setup + struct.pack("<%dI" % len(points), *points))
seed("breaks", 0, "aaa", (0, 0, 10, 40))
seed("centred_clipped", 0, "aWa\n\nj?ahB", (3, 5, 25, 20), flags=0x101)
seed("right_middle", 2, "aha ?\nBj", (-5, 2, 30, 36), size=13, flags=0x12)
seed("bottom_clipped", 0, "B\nB\nB\nB", (10, 10, 20, 12), size=8, flags=0x120)
seed("bitmaps", 1, "am?a\nmm", (0, 0, 30, 40))
seed("hangul", 3, "한글 노래\n가사 한 줄", (0, 0, 60, 60), size=24, target=(64, 64))
seed("huge", 3, "가", (-100, -50, 300, 300), size=300, flags=0x111, target=(50, 50))
seed("far_box", 0, "aaaa", (2**31 - 20, 2**31 - 30, 2**31 - 1, 2**31 - 1), flags=0x100)
seed("beyond_unicode", 0, [0x61, 0x110000, 0xFFFFFFFF, 0xD800, 10, 0x57], (0, 0, 40, 40))
PYTHON
