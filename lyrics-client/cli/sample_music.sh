#!/usr/bin/env bash
# Makes a folder of sample MP3s and a lyrics directory that knows some of them.
#   sample_music.sh MUSIC_DIR LYRICS_DIR LYRICS_SERVER
# MUSIC_DIR gets three songs (sine tones from sox, encoded by lame, with
# ID3v2 tags); LYRICS_DIR gets the lyrics of the first two, stored by
# `LYRICS_SERVER add-lyrics` under their fingerprints. The third is unknown.
set -euo pipefail

music=${1:?MUSIC_DIR}
lyrics=${2:?LYRICS_DIR}
server=${3:?LYRICS_SERVER}
mkdir -p "$music" "$lyrics"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# song FILE TITLE FREQUENCY
song() {
  sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 3 sine "$3" fade 0.1 3 0.1
  lame --quiet -b 128 --add-id3v2 --tt "$2" --ta "ovra 샘플" "$work/tone.wav" "$music/$1"
}

song "봄날의 노래.mp3" "봄날의 노래" 440
song "Morning Walk.mp3" "Morning Walk" 523
song "이름 없는 곡.mp3" "이름 없는 곡" 659

cat >"$work/spring.lrc" <<'LRC'
[ti:봄날의 노래]
[00:00.00]봄날의 첫 줄
[00:01.50]둘째 줄, 바람이 분다
LRC
cat >"$work/morning.lrc" <<'LRC'
[ti:Morning Walk]
[00:00.00]first line of the morning
[00:01.50]second line
LRC

"$server" add-lyrics "$lyrics" "$music/봄날의 노래.mp3" "$work/spring.lrc" >/dev/null
"$server" add-lyrics "$lyrics" "$music/Morning Walk.mp3" "$work/morning.lrc" >/dev/null
