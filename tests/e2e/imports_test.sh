#!/usr/bin/env bash
# carvelo.exe is a 32-bit Windows GUI program that needs nothing beside it:
# its import table names only DLLs that every Windows installation has.
#   imports_test.sh OBJDUMP PROGRAM
set -uo pipefail
objdump=${1:?OBJDUMP} program=${2:?PROGRAM}

headers=$("$objdump" -p "$program") || { echo "FAILED: cannot read $program"; exit 1; }
system_dlls='^(kernel32|user32|gdi32|comdlg32|ws2_32|msvcrt|advapi32|shell32|ole32|comctl32)\.dll$'
failures=0
for dll in $(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
  if echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls"; then
    echo "ok: imports $dll"
  else
    echo "FAILED: imports $dll, which is no system DLL"
    failures=$((failures + 1))
  fi
done
grep -q 'DLL Name:' <<<"$headers" || { echo "FAILED: no import table found"; failures=$((failures + 1)); }
for fact in 'Magic[[:space:]]+010b[[:space:]]+\(PE32\)' 'Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)' \
            'file format pei-i386'; do
  if grep -Eq "$fact" <<<"$headers"; then echo "ok: $fact"; else echo "FAILED: not $fact"; failures=$((failures + 1)); fi
done
[ "$failures" -eq 0 ]
