#!/usr/bin/env bash
# carvelo.exe as built, then as a user drives it: its window against a slow server, then the
# update of a copy: an error page answered 200 OK, a build blocked by a leftover one, builds that
# do not run (rolled back), then one applied.
source "$(dirname "$0")/lib.sh"
system_dlls='kernel32|user32|gdi32|comdlg32|ws2_32|msvcrt|advapi32|shell32|ole32|comctl32'
for program in "$CARVELO_EXE 0.1.3" "$CARVELO_NEXT_EXE 0.1.4"; do
  read -r file version <<<"$program"
  headers=$("${OBJDUMP:?}" -p "$file") && resources=$("${WINDRES:?}" -i "$file" -O rc) ||
    fatal "cannot read $file"
  check "$version: a PE32 GUI program for i386 that imports system DLLs only" \
    "pei-i386 010b 00000002" "$(sed -n -E 's/.*file format (pei-i386)$/\1/p;
      s/^(Magic|Subsystem)\s+(\S+).*/\2/p; /DLL Name: /{/: ('"$system_dlls"')\.dll$/I!p}' \
      <<<"$headers" | xargs)"
  check "$version: the version resource" "FILEVERSION ${version//./, }, 0
FileVersion: $version
ProductName: ovra player carvelo
ProductVersion: $version" "$(sed -n -E 's/^ (FILEVERSION .*)/\1/p;
    s/^\s*VALUE "(FileVersion|ProductVersion|ProductName)", "(.*)"$/\1: \2/p' <<<"$resources")"
done

music="$work/음악 모음" folder="Z:${work//\//\\}\\음악 모음"
spring="봄날의 노래" morning="Morning Walk" unknown="이름 없는 곡"
"${SAMPLE_MUSIC:?}" "$music" "$work/lyrics" "$LYRICS_SERVER" || fatal "cannot make the sample music"
start_server --delay-ms 2000
start_carvelo "$CARVELO_EXE"
# The report's lines of lists (or PATTERN), without ids, styles and places.
brief() {
  sed -E 's/^ +//; s/ id -?[0-9]+ style .* size [0-9x]+//' <<<"$output" | grep -E "^(${1:-entry})"
}

# A list box without LBS_NOINTEGRALHEIGHT shrinks to whole lines of its font.
drive find carvelo show
check "the class, the fixed frame, the controls in creation order, the hidden path list" \
'carvelo "carvelo" id 0 style 14ca0000 class 00000003 size 230x280
  Static "carvelo 0.1.3\n\n만든 사람: ovra 플레이어 팀" id 0 style 50000000 at 10,10 size 200x50
  Button "가사 다운로드" id 1 style 50000000 at 10,70 size 200x20
  ListBox "" id 2 style 50800001 at 10,100 size 200x<whole lines>
  Static "더블클릭하면 가사가 열립니다." id 0 style 50000000 at 10,220 size 200x15
ListBox "" id 0 style 04c00000 class 00000008 size 112x27 hidden' \
  "$(sed -E 's/(id 2 style 50[8a]00001 .* 200x)1[01][0-9]$/\1<whole lines>/' <<<"$output")"

drive find carvelo press 1 find '#32770' set 1148 "$folder" press 1 set 1148 \
  "\"$unknown.mp3\" \"$spring.mp3\" \"$morning.mp3\"" press 1 gone find carvelo press 1 show
check "during a batch the button is disabled, and a click on it opens no dialog" \
  'Button "가사 다운로드" disabled' "$(brief 'Button|#32770')"
drive find carvelo enabled 1 show
lists="entry 2: 실패: $unknown.mp3
entry 2: 성공: $spring.mp3
entry 2: 성공: $morning.mp3
entry 2: 완료."
check "three files (Hangul names, one the server does not know) in dialog order, then the end" \
  "${lists/완료./완료. (selected)}" "$(brief 'entry 2:')"
xwd -root -silent >"$work/screen.xwd" && ffmpeg -loglevel error -y -i "$work/screen.xwd" \
  "$E2E_OUTPUT/main-window-after-batch.png" || fatal "cannot take the screenshot"

drive find carvelo double-click 2 0 double-click 2 3
check "a failure line and the closing line open nothing" 0 "$(pgrep -c -f notepad.exe)"
drive find carvelo double-click 2 2 find Notepad show close exits
shown='[ti:Morning Walk]\r\n[00:00.00]first line of the morning\r\n[00:01.50]second line\r\n'
check "a success line opens its lyrics in Notepad" "Notepad \"$morning.lrc - Notepad\"
Edit \"$shown\"" \
  "$(sed -E '/^ *(Notepad|Edit)/!d; s/^ +//; s/ id .*//' <<<"$output")"

drive find carvelo press 1 find '#32770' show press 2 gone find carvelo show close exits
check "the dialog offers MP3 files first; a cancel keeps the lists (line 2 double-clicked last)" \
  "entry 1136: MP3 파일 (*.mp3) (selected)
entry 1136: 모든 파일 (*.*)
${lists/성공: $morning.mp3/성공: $morning.mp3 (selected)}" "$(brief 'entry (1136|2):')"

app="$work/Program Files/carvelo" exe="$work/Program Files/carvelo/carvelo.exe"
mkdir -p "$app" && cp "$CARVELO_EXE" "$exe"
# The files beside the program: the build as made (0.1.3), the newer one, or what else they hold.
beside() {
  for file in "$app"/*; do
    held=$(head -c 40 "$file" | tr -d '\0')
    cmp -s "$file" "$CARVELO_EXE" && held=0.1.3
    cmp -s "$file" "$CARVELO_NEXT_EXE" && held=0.1.4
    for broken in ${CARVELO_BROKEN_EXES:?}; do cmp -s "$file" "$broken" && held=${broken##*/}; done
    echo "${file##*/}: $held"
  done
}
beside_is() { [ "$(beside)" == "$1" ]; }
# start_with_previous_build FILES: the files beside the program come to be FILES; no message shows.
start_with_previous_build() {
  echo "previous build" >"$exe.old"
  start_carvelo "$exe"
  wait_until 60 beside_is "$1" || check "the files beside the program" "$1" "$(beside)"
  drive find carvelo show close exits
  check "no message shows; the program runs on" "exited" "$(grep -E 'exited|#32770' <<<"$output")"
}

kill $server_pid && wait $server_pid
rm "$work/requests.log"
start_server
echo '<html><body>Update service</body></html>' >"$work/builds/0.1.3"
start_with_previous_build "carvelo.exe: 0.1.3"
cp "$CARVELO_NEXT_EXE" "$work/builds/0.1.3"
start_with_previous_build "carvelo.exe: 0.1.3
carvelo.exe.new: 0.1.4
carvelo.exe.old: previous build"

# A message box as shown (its caption, button and text) and, joined by "|", as expected.
message_box() { sed -E '/ hidden|^ *Static ""/d; s/^ +//; s/ id .*//' <<<"$output"; }
box() { printf '#32770 "%s"|Button "OK"|Static "%s"' "$@"; }

rm "$exe.old"
for broken in $CARVELO_BROKEN_EXES; do
  cp "$broken" "$work/builds/0.1.3"
  start_carvelo "$exe"
  drive find '#32770' press 1 gone find '#32770' show press 1 gone find carvelo close exits
  check "${broken##*/}: undone, a second message says; the old build runs on, back in place" \
    "$(box "업데이트 취소" "새 버전을 시작하지 못해 이전 버전으로 되돌렸습니다.")|exited|\
carvelo.exe: 0.1.3|carvelo.exe.new: ${broken##*/}" "$({ message_box && beside; } | paste -sd'|')"
done

cp "$CARVELO_NEXT_EXE" "$work/builds/0.1.3"
start_carvelo "$exe"
drive find '#32770' show
check "the update message box" \
  "$(box "업데이트 성공" "프로그램을 업데이트했습니다. 지금 재시작합니다.")" \
  "$(message_box | paste -sd'|')"
# The previous build, held open by another program for 8 s, is removed all the same.
"$WINE_RUN" "$CARVELO_DRIVER" hold "Z:${exe//\//\\}.old" pause 8000 >"$work/holder.out" 2>&1 &
wait_until 60 grep -q held "$work/holder.out" || fatal "cannot hold: $(<"$work/holder.out")"
drive find '#32770' press 1 exits find carvelo
wait "$carvelo_pid"
check "confirming it ends this process normally and starts the new build" "0 exited" "$? $output"
wait_until 60 test ! -e "$exe.old" || fatal "the new build did not remove the previous one"
check "only the new build remains" "carvelo.exe: 0.1.4" "$(beside)"
check "each start asked for its own version" "$(printf '/ovra-player/carvelo/update/carvelo/%s\n' \
  0.1.3 0.1.3 0.1.3 0.1.3 0.1.3 0.1.4)" "$(cat "$work/requests.log")"
drive find carvelo close exits
