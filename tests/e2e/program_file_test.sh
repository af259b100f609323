#!/usr/bin/env bash
# The program files as built, read without running them: 32-bit Windows GUI
# programs that need nothing beside them (their import tables name only
# DLLs that every Windows installation has), with the program icon and a
# version resource that shows their version text in the file's properties.
#   program_file_test.sh OBJDUMP WINDRES PROGRAM VERSION [PROGRAM VERSION]...
set -uo pipefail
source "$(dirname "$0")/checks.sh"
trap checks_outcome EXIT
objdump=${1:?OBJDUMP} windres=${2:?WINDRES}
shift 2
system_dlls='kernel32|user32|gdi32|comdlg32|ws2_32|msvcrt|advapi32|shell32|ole32|comctl32'

while [ $# -ge 2 ]; do
  program=$1 version=$2 name=${1##*/}
  shift 2
  headers=$("$objdump" -p "$program") || fatal "cannot read $program"
  check "$name: a PE32 Windows GUI program for i386" "pei-i386 010b 00000002" "$(sed -n -E \
    's/.*file format (pei-i386)$/\1/p; s/^Magic\s+(\S+).*/\1/p; s/^Subsystem\s+(\S+).*/\1/p' \
    <<<"$headers" | xargs)"
  imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
  [ -n "$imports" ] || fatal "$name: no import table found"
  check "$name: imports system DLLs only" "" "$(grep -viEx "($system_dlls)\.dll" <<<"$imports")"

  resources=$("$windres" -i "$program" -O rc) || fatal "cannot read the resources of $program"
  check "$name: the icon group holds one 48 x 48 image of 32 bits per pixel" \
    '"\060\060\000\000", 1, 32' "$(sed -n '/^"ID_PROGRAM_ICON" 14 /,/^END/p' <<<"$resources" |
    sed -n 's/^\s*\(.*\), 0x.*Element no.*/\1/p' | cut -d, -f1-3)"
  numbers=$(cut -d. -f1-4 <<<"$version.0.0.0" | sed 's/\./, /g')
  check "$name: version $version" "FILEVERSION $numbers
FileVersion: $version
ProductName: ovra player carvelo
ProductVersion: $version" "$(sed -n -E 's/^ (FILEVERSION .*)/\1/p;
    s/^\s*VALUE "(FileVersion|ProductVersion|ProductName)", "(.*)"$/\1: \2/p' <<<"$resources")"
done
