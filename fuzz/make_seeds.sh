#!/usr/bin/env bash
# Empties the CI runs' corpora in BIN_DIR/ci and makes the fuzz seeds from the audio test fixtures
# in BIN_DIR/seeds: the tagged MP3 files for the fingerprint; each file behind the setup bytes of
# audio.cpp for the decoders (defaults; and MP3 scan, CP949 tags, mono at 22050 Hz, a seek to frame
# 4096 before the fourth read).
# Usage: make_seeds.sh BIN_DIR
set -euo pipefail

bin=${1:?usage: make_seeds.sh BIN_DIR} out=$1/seeds
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out" "$bin/ci"
while read -r name _; do mkdir -p "$out/$name" "$bin/ci/$name"; done <"$bin/harnesses.txt"
mkdir -p "$out/media" "$bin/findings"
bash "$here/../audio/tests/make_fixtures.sh" "$out/media"

cp "$out"/media/{id3_*,short_mono_16000}.mp3 "$out/fingerprint/"

declare -A decoder=([mp3]=0 [ogg]=1 [flac]=2)
for file in "$out"/media/*.{mp3,ogg,flac}; do
  name=$(basename "$file") extension=${file##*.}
  steer=$(printf '\\%o' "${decoder[$extension]}")
  { printf "$steer"'\0\0\0\0\0\0\0'; head -c 20000 "$file"; } >"$out/audio/$name"
  steer=$(printf '\\%o' $((decoder[$extension] + 4 + 8 + 32)))
  { printf "$steer"'\1\13\3\0\20\0\0'; head -c 20000 "$file"; } >"$out/audio/$name-seek"
done
