#!/usr/bin/env bash
# The self-update of a copy of carvelo.exe in a folder of its own (with a
# space in its path), against what the server has under version 0.1.3:
#   update_test.sh none|applied
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

app="$work/Program Files/carvelo"
exe="$app/carvelo.exe"
mkdir -p "$app"
cp "$CARVELO_EXE" "$exe"
update_request=/ovra-player/carvelo/update/carvelo

# The files beside the program, each with what it holds: the program as
# built (0.1.3), the newer build (0.1.4), or other content.
beside() {
  local file name
  for file in "$app"/*; do
    name=${file##*/}
    if cmp -s "$file" "$CARVELO_EXE"; then echo "$name: 0.1.3"
    elif cmp -s "$file" "$CARVELO_NEXT_EXE"; then echo "$name: 0.1.4"
    else echo "$name: $(head -c 40 "$file")"
    fi
  done
}

# The cases where no update is applied end with the removal of the
# previous build; a leftover one shows when the worker is through.
leave_previous_build() { echo "previous build" >"$exe.old"; }
wait_for_cleanup() {
  wait_until 60 test ! -e "$exe.old" || fatal "the previous build was not removed"
}

no_update() {  # no_update DESCRIPTION
  leave_previous_build
  start_carvelo "$exe"
  wait_for_cleanup
  check "$1: the program stays as it was, nothing else remains" "carvelo.exe: 0.1.3" "$(beside)"
  drive window dialogs close
  check "$1: no message, the program runs on" "window: carvelo
dialogs: 0
exited" "$output"
}

case ${1:?case} in
  none)  # no server, then nothing newer (404), then an error page answered with 200 OK
    if (exec 3<>/dev/tcp/127.0.0.1/80) 2>/dev/null; then fatal "something listens on 127.0.0.1:80"; fi
    no_update "no server"
    start_server
    no_update "no update (404)"
    printf '<html><body>Update service</body></html>\n' >"$work/builds/0.1.3"
    no_update "an error page answered with 200 OK"
    ;;

  applied)  # first blocked by a leftover previous build, then applied
    cp "$CARVELO_NEXT_EXE" "$work/builds/0.1.3"
    start_server
    leave_previous_build
    start_carvelo "$exe"
    wait_until 60 cmp -s "$exe.new" "$CARVELO_NEXT_EXE" || fatal "the new build was not downloaded"
    # The swap follows the download at once; by the time the driver has
    # started, a swap that was not blocked would have moved the files.
    drive window dialogs close
    check "a leftover previous build blocks the update: no message" "window: carvelo
dialogs: 0
exited" "$output"
    check "the download stays under .new, the rest as it was" "carvelo.exe: 0.1.3
carvelo.exe.new: 0.1.4
carvelo.exe.old: previous build" "$(beside)"

    rm "$exe.old"
    start_carvelo "$exe"
    drive window message-box
    check "the update message box" "window: carvelo
caption: 업데이트 성공
text: 프로그램을 업데이트했습니다. 지금 재시작합니다.
button: OK" "$output"
    check "while it shows, the new build is in place and the previous one beside it" \
      "carvelo.exe: 0.1.4
carvelo.exe.old: 0.1.3" "$(beside)"
    drive window confirm exited window
    check "confirming it ends this process and starts another" "window: carvelo
exited
window: carvelo" "$output"
    wait "$carvelo_pid"
    check "the updated process exits normally" 0 $?
    carvelo_pid=''
    wait_for_cleanup
    check "each start asked for its own version; the new build removed the previous one" \
      "$update_request/0.1.3
$update_request/0.1.3
$update_request/0.1.4" "$(requests)"
    check "only the new build remains" "carvelo.exe: 0.1.4" "$(beside)"
    drive window close
    ;;

  *) fatal "unknown case $1" ;;
esac
