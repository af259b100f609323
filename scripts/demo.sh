#!/usr/bin/env bash
# The main job: set up, build, and show the product at work: the lyrics
# client fetching lyrics, then the device libraries reading the same songs.
#
# Generates a folder of sample MP3s (Hangul names included), puts the lyrics
# of two of them into the sample lyrics server, starts the server on
# loopback and runs carvelo-fetch on the whole folder: the lyrics of the
# known songs are stored beside them as .lrc files, the unknown one fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# The native flavour alone, and of it only the programs shown here.
TOLMEK_BUILD_TARGETS="carvelo-fetch lyrics-server tolmek" "$here/scripts/build.sh" native

build="${TOLMEK_BUILD_ROOT:-$here/build}/native"
server="$build/tools/lyrics-server/lyrics-server"
fetch="$build/lyrics-client/cli/carvelo-fetch"
demo="${TOLMEK_BUILD_ROOT:-$here/build}/demo"
music="$demo/음악"

rm -rf "$demo"
mkdir -p "$demo"
"$here/lyrics-client/cli/sample_music.sh" "$music" "$demo/lyrics" "$server"

"$server" --port 0 --lyrics "$demo/lyrics" --builds "$demo/builds" --log "$demo/requests.log" \
  >"$demo/server.out" &
server_pid=$!
trap 'kill $server_pid 2>/dev/null' EXIT
for _ in $(seq 100); do
  grep -q '^listening on' "$demo/server.out" && break
  sleep 0.1
done
address=$(sed -n 's/^listening on //p' "$demo/server.out")

echo
echo "== sample lyrics server on $address"
echo "== carvelo-fetch --server $address --jobs 4 $music"
status=0
"$fetch" --server "$address" --jobs 4 "$music" || status=$?
echo "== exit status $status (1: some files have no lyrics on the server)"
echo
echo "== $music"
ls -1 "$music"
for lyrics in "$music"/*.lrc; do
  echo
  echo "== $(basename "$lyrics") (CR LF line ends shown as \\r)"
  sed 's/\r$/\\r/' "$lyrics"
done

# The device side: the same songs through the device libraries, over the
# reference host (tolmek tags/decode use libtolmek-audio, sql libtolmek-db).
tolmek="$build/tools/tolmek/tolmek"
song="$music/봄날의 노래.mp3"
echo
echo "== tolmek decode $(basename "$song") -o $demo/spring.wav --rate 22050 --channels 1"
"$tolmek" decode "$song" -o "$demo/spring.wav" --rate 22050 --channels 1
soxi "$demo/spring.wav" | grep -E 'Channels|Sample Rate|Duration'

# The same song as Ogg Vorbis and FLAC, encoded from its decoded PCM with
# its title and artist, read through the same registry beside the MP3.
formats="$demo/formats"
mkdir -p "$formats"
"$tolmek" decode "$song" -o "$formats/spring.wav"
title="TITLE=봄날의 노래" artist="ARTIST=ovra 샘플"
oggenc -Q -c "$title" -c "$artist" -o "$formats/봄날의 노래.ogg" "$formats/spring.wav"
flac -s -T "$title" -T "$artist" -o "$formats/봄날의 노래.flac" "$formats/spring.wav"
for file in "$song" "$formats/봄날의 노래.ogg" "$formats/봄날의 노래.flac"; do
  echo
  echo "== tolmek tags $(basename "$file"); tolmek decode"
  "$tolmek" tags "$file"
  "$tolmek" decode "$file" -o "$formats/decoded.wav"
  echo "decoded: $(soxi -s "$formats/decoded.wav") frames, $(soxi -d "$formats/decoded.wav")," \
       "$(soxi -r "$formats/decoded.wav") Hz, $(soxi -c "$formats/decoded.wav") channels"
done
echo
echo "== tolmek sql $demo/library.db"
"$tolmek" sql "$demo/library.db" "CREATE TABLE songs(file TEXT, lyrics TEXT);"
for mp3 in "$music"/*.mp3; do
  lyrics="${mp3%.mp3}.lrc"
  [ -f "$lyrics" ] || lyrics=""
  name=$(basename "$mp3" | sed "s/'/''/g")
  "$tolmek" sql "$demo/library.db" \
    "INSERT INTO songs VALUES('$name', NULLIF('$(basename "$lyrics")', ''))"
done
"$tolmek" sql "$demo/library.db" "SELECT file, lyrics FROM songs ORDER BY file"

# The lyrics as the device shows them: the fetched .lrc files, their time
# tags dropped and each title ([ti:...]) kept as a line, drawn by
# libtolmek-font in NanumGothic onto a 320x240 RGB565 framebuffer.
picture="$demo/lyrics-framebuffer.png"
for lyrics in "$music"/*.lrc; do
  sed -e 's/\r$//' -e 's/^\[ti:\(.*\)\]$/\1/' -e 's/^\[[0-9:.]*\]//' -e '/^\[.*\]$/d' "$lyrics"
  echo
done >"$demo/lyrics.txt"
printf '%s' "$(cat "$demo/lyrics.txt")" >"$demo/lyrics.txt" # no empty line at the end
echo
echo "== tolmek text --target fb --file $demo/lyrics.txt -o $picture"
"$tolmek" text --font /usr/share/fonts/truetype/nanum/NanumGothic.ttf --target fb \
  --canvas 320x240 --size 20 --align center --valign middle --clip --wrap words \
  --colour ffffff --background 203050 --file "$demo/lyrics.txt" -o "$picture"
echo "== the picture: $picture"
