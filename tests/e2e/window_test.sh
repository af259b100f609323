#!/usr/bin/env bash
# The main window as built: its class, its controls, its fixed frame, and
# the program file's icon and version (also under another version text).
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

start_server
start_carvelo "$CARVELO_EXE"

# A list box without LBS_NOINTEGRALHEIGHT shrinks to whole lines, so its
# height depends on the font: any height that shows whole lines is fine.
drive window controls
output=$(sed -E 's/^(control ListBox id 2 style 50[8a]00001 at 10,100 size 200x)1[01][0-9]$/\1<whole lines>/' <<<"$output")
check "the window class and the controls in creation order" \
  'window: carvelo
class carvelo style 00000003
control Static id 0 style 50000000 at 10,10 size 200x50 text "carvelo 0.1.3\n\n만든 사람: ovra 플레이어 팀"
control Button id 1 style 50000000 at 10,70 size 200x20 text "가사 다운로드"
control ListBox id 2 style 50800001 at 10,100 size 200x<whole lines>
control Static id 0 style 50000000 at 10,220 size 200x15 text "더블클릭하면 가사가 열립니다."
path list: class ListBox, visible no, child no' "$output"

drive window frame
check "a fixed frame of 230 x 280 that can be minimised only" \
  "window: carvelo
outer size: 230x280
sizing border: no
maximize box: no
minimize box: yes
frame edges resize: no
after a caption double-click: 230x280, not maximised" "$output"

drive resources "$(windows_path "$CARVELO_EXE")"
check "the program file has its icon and version 0.1.3" \
  "icon group ID_PROGRAM_ICON: 1 image(s)
icon image: 48x48, 32 bits per pixel
file version numbers: 0.1.3.0
FileVersion: 0.1.3
ProductVersion: 0.1.3
ProductName: ovra player carvelo" "$output"
drive resources "$(windows_path "$CARVELO_NEXT_EXE")"
check "a build under another version text shows that version" \
  "file version numbers: 0.1.4.0
FileVersion: 0.1.4
ProductVersion: 0.1.4" "$(echo "$output" | grep -i version)"
check "and asks for updates under it" "/ovra-player/carvelo/update/carvelo/0.1.3" "$(requests)"

drive window close
check "closing the window ends the program" "window: carvelo
exited" "$output"
