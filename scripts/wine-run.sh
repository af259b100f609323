#!/usr/bin/env bash
# Runs a Windows program under wine in the project's own prefix, creating
# the prefix on first use. The prefix maps the program's UI font to a Korean
# font from fonts-nanum, so that Hangul shows in windows and screenshots.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/.deps/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LANG=C.UTF-8

create_prefix() {
  wine wineboot --init >/dev/null 2>&1
  local fonts='HKCU\Software\Wine\Fonts\Replacements'
  wine reg add "$fonts" /v '굴림' /t REG_SZ /d 'NanumGothic' /f >/dev/null 2>&1
  wine reg add "$fonts" /v 'Gulim' /t REG_SZ /d 'NanumGothic' /f >/dev/null 2>&1
  wineserver --wait
  touch "$WINEPREFIX/.tolmek-ready"
}

if [ ! -f "$WINEPREFIX/.tolmek-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  [ -f "$WINEPREFIX/.tolmek-ready" ] || create_prefix
  flock -u 9
  exec 9>&-
fi

exec wine "$@"
