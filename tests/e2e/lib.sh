# The end-to-end test's wine prefix, sample server, and `drive STEP...` (its report in $output).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
export WINEPREFIX=${E2E_PREFIX:?} WINEDEBUG=-all LANG=C.UTF-8
work=$(mktemp -d /tmp/carvelo-e2e.XXXXXX)
mkdir -p "${E2E_OUTPUT:?}" "$work/lyrics" "$work/builds"
server_pid='' carvelo_pid=''

# The last processes (a restarted build) end with the prefix's wine server, and no other prefix.
finish() {
  kill $server_pid $carvelo_pid 2>/dev/null
  timeout 30 wineserver -w 2>/dev/null || { wineserver -k; timeout 30 wineserver -w; } 2>/dev/null
  rm -rf "$work"
  checks_outcome
}
trap finish EXIT

# start_server [OPTION...]: on 127.0.0.1:80, carvelo.exe's server, logging to $work/requests.log.
start_server() {
  "${LYRICS_SERVER:?}" --address 127.0.0.1 --port 80 --lyrics "$work/lyrics" \
    --builds "$work/builds" --log "$work/requests.log" "$@" >"$work/server.out" 2>&1 &
  server_pid=$!
  wait_until 10 grep -q '^listening' "$work/server.out" || fatal "no server: $(<"$work/server.out")"
}

start_carvelo() {
  "${WINE_RUN:?}" "$1" >"$work/carvelo.out" 2>&1 &
  carvelo_pid=$!
}

drive() {
  "$WINE_RUN" "${CARVELO_DRIVER:?}" "$@" >"$work/driver.out" 2>"$work/driver.err" ||
    fatal "driver $*: $(cat "$work/driver.err") after: $(cat "$work/driver.out")"
  output=$(cat "$work/driver.out")
}

# One test at a time on this machine, for port 80. The prefix has a desktop of its own (so wine
# draws frames as Windows does) and wine's fonts (Tahoma for dialogs, Marlett for captions).
exec 8>/tmp/carvelo-e2e.lock
flock -w 900 8 || fatal "another end-to-end test holds port 80"
if [ ! -f "$WINEPREFIX/.carvelo-e2e-ready" ]; then
  { "$WINE_RUN" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f &&
    "$WINE_RUN" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f &&
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" &&
    wineserver -w; } >/dev/null 2>&1 && touch "$WINEPREFIX/.carvelo-e2e-ready" ||
    fatal "cannot prepare $WINEPREFIX (is fonts-wine there?)"
fi
