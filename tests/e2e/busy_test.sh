#!/usr/bin/env bash
# One batch at a time: while a batch waits for a slow server, the button is
# disabled and a click on it opens no second dialog and adds no lines;
# after the batch the button works again.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

music="$work/music"
"$SAMPLE_MUSIC" "$music" "$work/lyrics" "$LYRICS_SERVER" || fatal "cannot make the sample music"
folder=$(windows_path "$music")
start_server --delay-ms 3000  # each answer waits 3 s, so a batch of two lasts 6 s or more
start_carvelo "$CARVELO_EXE"

drive window click choose "$folder" '"봄날의 노래.mp3" "Morning Walk.mp3"' \
  button click done dialogs lists
batch_lists="line: 성공: 봄날의 노래.mp3
line: 성공: Morning Walk.mp3
line: 완료.
selected: 2
path: $folder\\봄날의 노래.lrc
path: $folder\\Morning Walk.lrc"
check "a click during the batch starts nothing; the batch ends as if alone" \
  "window: carvelo
button: disabled
dialogs: 0
$batch_lists" "$output"
check "two lyrics requests, one per file" 2 "$(requests | grep -c '^/sevrin/fetch/')"

drive window button click cancel done button lists
check "after the batch the button opens the dialog again; a cancel keeps the lists" \
  "window: carvelo
button: enabled
button: enabled
$batch_lists" "$output"

drive window close
