# Sourced by the end-to-end scripts: an X display of their own, the wine
# prefix of the end-to-end tests, the sample lyrics server on 127.0.0.1
# port 80 (the address carvelo.exe is built with), carvelo.exe under wine,
# the driver, and checks. Set by CTest (tests/e2e/CMakeLists.txt):
#   CARVELO_EXE CARVELO_NEXT_EXE CARVELO_DRIVER LYRICS_SERVER SAMPLE_MUSIC
#   WINE_RUN E2E_PREFIX E2E_OUTPUT
# A test calls `drive STEP...` and compares $output with `check`; `fatal`
# ends it at once.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

: "${CARVELO_EXE:?}" "${CARVELO_NEXT_EXE:?}" "${CARVELO_DRIVER:?}" "${SAMPLE_MUSIC:?}" \
  "${WINE_RUN:?}" "${E2E_PREFIX:?}" "${E2E_OUTPUT:?}"
[ -x "${LYRICS_SERVER:?}" ] || fatal "no lyrics server at $LYRICS_SERVER"

export WINEPREFIX=$E2E_PREFIX WINEDEBUG=-all LANG=C.UTF-8
work=$(mktemp -d /tmp/carvelo-e2e.XXXXXX)
mkdir -p "$E2E_OUTPUT" "$work/lyrics" "$work/builds"
xvfb_pid='' server_pid='' carvelo_pid=''

finish() {
  stop_server
  [ -n "$carvelo_pid" ] && kill "$carvelo_pid" 2>/dev/null
  # The session's last processes (a restarted build, Notepad, the desktop)
  # end with the prefix's wine server; ending it touches no other prefix.
  if ! timeout 30 wineserver -w 2>/dev/null; then
    wineserver -k 2>/dev/null
    timeout 30 wineserver -w 2>/dev/null
  fi
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
  checks_outcome
}
trap finish EXIT

# The Windows path of a file of this machine (wine's Z: drive).
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }

# The tests own this prefix: a desktop of their own (so wine draws the
# window frames as Windows does) on the display each test starts, and
# wine's own fonts (fonts-wine: Tahoma for dialogs, Marlett for the caption
# buttons) in its fonts folder, where this wine looks for them.
prepare_prefix() {
  [ -f "$WINEPREFIX/.carvelo-e2e-ready" ] && return
  local keys='HKCU\Software\Wine\Explorer'
  "$WINE_RUN" reg add "$keys" /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1 &&
    "$WINE_RUN" reg add "$keys\\Desktops" /v Default /t REG_SZ /d 800x600 /f >/dev/null 2>&1 ||
    fatal "cannot prepare the wine prefix $WINEPREFIX"
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" ||
    fatal "no wine fonts: install fonts-wine"
  wineserver -w
  touch "$WINEPREFIX/.carvelo-e2e-ready"
}

start_display() {
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  wait_until 30 test -s "$work/display" || fatal "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(cat "$work/display")"
}

# start_server [OPTION...]: the sample server on 127.0.0.1:80 with the
# lyrics in $work/lyrics and the builds in $work/builds; `requests` prints
# the request paths it was asked for.
start_server() {
  "$LYRICS_SERVER" --address 127.0.0.1 --port 80 --lyrics "$work/lyrics" --builds "$work/builds" \
    --log "$work/requests.log" "$@" >"$work/server.out" 2>&1 &
  server_pid=$!
  wait_until 10 grep -q '^listening on' "$work/server.out" ||
    fatal "the lyrics server did not start on 127.0.0.1:80: $(cat "$work/server.out")"
}

stop_server() {
  [ -n "$server_pid" ] || return 0
  kill "$server_pid" 2>/dev/null
  wait "$server_pid" 2>/dev/null
  server_pid=''
}

requests() { cat "$work/requests.log" 2>/dev/null; }

# start_carvelo EXE: runs the program in the background as $carvelo_pid.
start_carvelo() {
  "$WINE_RUN" "$1" >"$work/carvelo.out" 2>&1 &
  carvelo_pid=$!
}

# drive STEP...: runs the driver and puts its report in $output. A step
# that fails ends the test.
drive() {
  "$WINE_RUN" "$CARVELO_DRIVER" "$@" >"$work/driver.out" 2>"$work/driver.err" ||
    fatal "driver $*: $(cat "$work/driver.err")
  its report until then:
$(cat "$work/driver.out")"
  output=$(cat "$work/driver.out")
}

# screenshot NAME: the screen, with the program's window on it, as
# $E2E_OUTPUT/NAME.png for a person to look at.
screenshot() {
  xwd -root -silent -display "$DISPLAY" >"$work/screen.xwd" &&
    ffmpeg -loglevel error -y -i "$work/screen.xwd" "$E2E_OUTPUT/$1.png" ||
    fatal "cannot take the screenshot $1"
  echo "screenshot: $E2E_OUTPUT/$1.png"
}

# One end-to-end test at a time on this machine, whatever its build tree:
# they all need port 80.
exec 8>/tmp/carvelo-e2e.lock
flock -w 900 8 || fatal "another end-to-end test holds port 80"
prepare_prefix
start_display
