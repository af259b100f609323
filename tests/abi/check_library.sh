#!/usr/bin/env bash
# A device library's soname, no run path; as needed only the C library, libgcc_s and sanitizer
# runtimes (--device: the C library, no symbol versions); exactly the exports of its table (NAME
# function | NAME object SIZE32 [SIZE64]); each import in the libc allowlist, its imports list or
# the host services. Options: --library --soname --exports --imports --libc-functions
# --host-services --libc FILE-OR-NAME [--extra-needed REGEX] [--device]
set -euo pipefail
extra_needed="" device=0 failures=0
while [ $# -gt 0 ]; do
  [ "$1" = --device ] && { device=1; shift; continue; }
  name=${1#--}
  printf -v "${name//-/_}" '%s' "$2"
  shift 2
done
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
rows() { sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$@"; }

dynamic=$(readelf -d -W "$library")
# Symbol table rows: Num: Value Size Type Bind Vis Ndx Name
symbols=$(readelf --dyn-syms -W "$library" |
  awk '$1 ~ /^[0-9]+:$/ && $4 != "SECTION" && $4 != "FILE"')
undefined=$(awk '$7 == "UND" && $5 == "GLOBAL" { print $8 }' <<<"$symbols" | sort -u)
needed=$(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$dynamic")
[ "$(sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p' <<<"$dynamic")" = "$soname" ] ||
  fail "the soname is not $soname"
! grep -Eq '\((RPATH|RUNPATH)\)' <<<"$dynamic" || fail "carries a run path"
allowed_needed="^(${libc//./\\.}|libgcc_s\.so\.1${extra_needed:+|$extra_needed})$"
for name in $needed; do [[ "$name" =~ $allowed_needed ]] || fail "needs $name"; done
if [ "$device" = 1 ]; then
  grep -qxF "$libc" <<<"$needed" || fail "does not need $libc"
  ! grep -q '(VERNEED)' <<<"$dynamic" && ! grep -q @ <<<"$undefined" ||
    fail "needs symbol versions"
fi

size_column=$(readelf -h "$library" | awk '/Class:/ { print ($2 == "ELF64") ? 4 : 3 }')
expected=$(rows "$exports" | awk -v column="$size_column" '{ size = $(column) != "" ? $(column) : $3
  print $1, ($2 == "function") ? "FUNC -" : ($2 == "object") ? "OBJECT " size : "of no kind" }' |
  sort -u)
actual=$(awk '$7 != "UND" && ($5 == "GLOBAL" || $5 == "WEAK") && $6 == "DEFAULT" {
  sub(/@.*/, "", $8); print $8, $4, ($4 == "FUNC") ? "-" : $3 }' <<<"$symbols" | sort -u)
[ "$expected" = "$actual" ] || fail "exports not as in the table (<) but as (>):
$(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]')"

unlisted=$(comm -23 <(sed 's/@.*//' <<<"$undefined" | sort -u) \
  <(rows "$libc_functions" "$imports" "$host_services" | awk '{ print $1 }' | sort -u) |
  { [ -n "$extra_needed" ] && grep -Ev '^__(asan|ubsan|lsan|sanitizer)_' || cat; } || true)
[ -z "$unlisted" ] || fail "imports names on no list: $(echo $unlisted)"
[ "$failures" -eq 0 ] &&
  echo "ok: $soname exports $(wc -l <<<"$expected") names and imports only listed ones"
