#!/usr/bin/env bash
# Batches through the real window and file-open dialog: one file, a
# cancelled dialog, three files chosen together (Hangul names, one song the
# server does not know), the lists and the stored lyrics, a screenshot, and
# double-clicks that do or do not open Notepad.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

music="$work/음악 모음"
"$SAMPLE_MUSIC" "$music" "$work/lyrics" "$LYRICS_SERVER" || fatal "cannot make the sample music"
folder=$(windows_path "$music")
spring="봄날의 노래" morning="Morning Walk" unknown="이름 없는 곡"
start_server
start_carvelo "$CARVELO_EXE"

# One file, typed as its full path.
drive window click choose "" "$folder\\$spring.mp3" done lists
check "one file: its line, the closing line, its lyrics path" \
  "window: carvelo
line: 성공: $spring.mp3
line: 완료.
selected: 1
path: $folder\\$spring.lrc" "$output"
check "the lyrics are stored with CR LF line ends" \
  "$(printf '[ti:봄날의 노래]\r\n[00:00.00]봄날의 첫 줄\r\n[00:01.50]둘째 줄, 바람이 분다\r\n' | od -An -tx1)" \
  "$(od -An -tx1 <"$music/$spring.lrc")"

# A cancelled dialog changes nothing.
drive window lists
before=$output
drive window click filters cancel done lists
check "the dialog offers MP3 files first, then all files" "file type: MP3 파일 (*.mp3)
file type: 모든 파일 (*.*)
chosen file type: 0" "$(grep 'file type' <<<"$output")"
check "a cancelled dialog leaves both lists as they were" "$before" "$(grep -v 'file type' <<<"$output")"

# Three files chosen together, in the order typed.
rm "$music/$spring.lrc"
drive window click choose "$folder" "\"$unknown.mp3\" \"$spring.mp3\" \"$morning.mp3\"" \
  done lists geometry
check "three files: lines and path entries in dialog order, after emptied lists" \
  "window: carvelo
line: 실패: $unknown.mp3
line: 성공: $spring.mp3
line: 성공: $morning.mp3
line: 완료.
selected: 3
path: $folder\\$unknown.lrc
path: $folder\\$spring.lrc
path: $folder\\$morning.lrc" "$(echo "$output" | grep -v '^geometry: ')"
check "lyrics are stored for the known songs only" \
  "$morning.lrc $morning.mp3 $spring.lrc $spring.mp3 $unknown.mp3" \
  "$(cd "$music" && LC_ALL=C ls | tr '\n' ' ' | sed 's/ $//')"
fingerprints=$("$LYRICS_SERVER" fingerprint "$music/$unknown.mp3" "$music/$spring.mp3" \
  "$music/$morning.mp3" | cut -d' ' -f1 | sed 's|^|/sevrin/fetch/|')
check "the server was asked for each file in turn" \
  "$fingerprints" "$(requests | grep '^/sevrin/fetch/' | tail -3)"
screenshot main-window-after-batch "$(echo "$output" | sed -n 's/^geometry: //p')"

# Double-clicks: a failure line and the closing line open nothing, a
# success line opens its lyrics in Notepad.
drive window double-click 0 double-click 3 double-click 2 notepad "$morning.lrc"
check "only the success line opens Notepad, with its lyrics file" \
  "window: carvelo
notepad processes: 0
notepad processes: 0
notepad processes: 1
notepad: $morning.lrc - Notepad
notepad text: [ti:Morning Walk]\\r\\n[00:00.00]first line of the morning\\r\\n[00:01.50]second line\\r\\n" \
  "$output"

drive window close
check "the window closes and the program ends" "window: carvelo
exited" "$output"
wait "$carvelo_pid"
check "the program's exit status" 0 $?
carvelo_pid=''
