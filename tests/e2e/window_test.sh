#!/usr/bin/env bash
# The main window as built and as a user drives it: its class and controls,
# its fixed frame, then batches through the real file-open dialog: three
# files chosen together (Hangul names, one song the server does not know),
# the lists and the stored lyrics, a screenshot, double-clicks that do or do
# not open Notepad, a cancelled dialog, one file during which a click starts
# nothing.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

music="$work/음악 모음"
"$SAMPLE_MUSIC" "$music" "$work/lyrics" "$LYRICS_SERVER" || fatal "cannot make the sample music"
folder=$(windows_path "$music")
spring="봄날의 노래" morning="Morning Walk" unknown="이름 없는 곡"
start_server
start_carvelo "$CARVELO_EXE"

# A list box without LBS_NOINTEGRALHEIGHT shrinks to whole lines, so its
# height depends on the font: any height that shows whole lines is fine.
drive window controls frame
check "the window class, the controls in creation order, a fixed frame of 230 x 280" \
  'window: carvelo
class carvelo style 00000003
control Static id 0 style 50000000 at 10,10 size 200x50 text "carvelo 0.1.3\n\n만든 사람: ovra 플레이어 팀"
control Button id 1 style 50000000 at 10,70 size 200x20 text "가사 다운로드"
control ListBox id 2 style 50800001 at 10,100 size 200x<whole lines>
control Static id 0 style 50000000 at 10,220 size 200x15 text "더블클릭하면 가사가 열립니다."
path list: class ListBox, visible no, child no
outer size: 230x280
style: 14ca0000
after a caption double-click: 230x280, not maximised' \
  "$(sed -E 's/^(control ListBox id 2 style 50[8a]00001 at 10,100 size 200x)1[01][0-9]$/\1<whole lines>/' <<<"$output")"

drive window click choose "$folder" "\"$unknown.mp3\" \"$spring.mp3\" \"$morning.mp3\"" done lists
batch_lists="line: 실패: $unknown.mp3
line: 성공: $spring.mp3
line: 성공: $morning.mp3
line: 완료.
selected: 3
path: $folder\\$unknown.lrc
path: $folder\\$spring.lrc
path: $folder\\$morning.lrc"
check "three files: lines and path entries in dialog order, then the closing line" \
  "window: carvelo
$batch_lists" "$output"
check "lyrics are stored for the known songs only" \
  "$morning.lrc $morning.mp3 $spring.lrc $spring.mp3 $unknown.mp3" \
  "$(cd "$music" && LC_ALL=C ls | tr '\n' ' ' | sed 's/ $//')"
check "the server was asked for each file in turn" \
  "$("$LYRICS_SERVER" fingerprint "$music/$unknown.mp3" "$music/$spring.mp3" "$music/$morning.mp3" |
    cut -d' ' -f1 | sed 's|^|/sevrin/fetch/|')" "$(requests | grep -v /update/)"
screenshot main-window-after-batch

# A failure line and the closing line open nothing; a success line opens
# its lyrics in Notepad.
drive window double-click 0 double-click 3 double-click 2 notepad "$morning.lrc"
check "only the success line opens Notepad, with its lyrics file" \
  "window: carvelo
notepad processes: 0
notepad processes: 0
notepad processes: 1
notepad: $morning.lrc - Notepad
notepad text: [ti:Morning Walk]\\r\\n[00:00.00]first line of the morning\\r\\n[00:01.50]second line\\r\\n" \
  "$output"

drive window click filters cancel done lists
check "the dialog offers MP3 files first; a cancel keeps the lists (line 2 double-clicked last)" \
  "window: carvelo
file type: MP3 파일 (*.mp3)
file type: 모든 파일 (*.*)
chosen file type: 0
${batch_lists/selected: 3/selected: 2}" "$output"

# One batch at a time: while one file, typed as its full path, waits for a
# slow server (3 s per answer), the button is disabled and a click on it
# opens no second dialog.
stop_server
start_server --delay-ms 3000
drive window click choose "" "$folder\\$spring.mp3" button click done dialogs lists
check "one file; a click during its batch starts nothing" "window: carvelo
button: disabled
dialogs: 0
line: 성공: $spring.mp3
line: 완료.
selected: 1
path: $folder\\$spring.lrc" "$output"

drive window close
check "the window closes and the program ends" "window: carvelo
exited" "$output"
wait "$carvelo_pid"
check "the program's exit status" 0 $?
carvelo_pid=''
