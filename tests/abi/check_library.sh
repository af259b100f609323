#!/usr/bin/env bash
# Checks the binary interface of one device library:
#  - its soname, and no run path;
#  - its needed libraries: the C library (--libc), at most libgcc_s, and
#    the sanitizer runtimes of that build (--extra-needed);
#  - with --device, linked like the device: the C library is needed, and
#    no symbol has a version (the device's C library has none);
#  - its exports: exactly the names of the exports table, each of its kind,
#    a data object of the size the table gives for the file's word size;
#  - its undefined names: each one a C library function of the allowlist,
#    a dependency function of its imports list, or a host service.
#
# Exports table rows: NAME function | NAME object SIZE32 [SIZE64]
# Options: --library --soname --exports --imports --libc-functions
# --host-services --libc FILE-OR-NAME, [--extra-needed REGEX] [--device]
set -euo pipefail

extra_needed="" device=0
while [ $# -gt 0 ]; do
  case "$1" in
    --device) device=1; shift ;;
    --*) name=${1#--}; printf -v "${name//-/_}" '%s' "$2"; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
names_of() { sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$@" | awk '{ print $1 }' | sort -u; }

dynamic=$(readelf -d -W "$library")
dynsyms=$(readelf --dyn-syms -W "$library")
word_bits=$(readelf -h "$library" | awk '/Class:/ { print ($2 == "ELF64") ? 64 : 32 }')
# Symbol table rows: Num: Value Size Type Bind Vis Ndx Name
undefined=$(awk '$1 ~ /^[0-9]+:$/ && $7 == "UND" && $5 == "GLOBAL" { print $8 }' <<<"$dynsyms" |
  sort -u)

actual_soname=$(sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p' <<<"$dynamic")
[ "$actual_soname" = "$soname" ] || fail "soname is '$actual_soname', expected '$soname'"
! grep -Eq '\((RPATH|RUNPATH)\)' <<<"$dynamic" || fail "carries a run path"

needed=$(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$dynamic")
allowed_needed="${libc//./\\.}|libgcc_s\\.so\\.1${extra_needed:+|$extra_needed}"
for name in $needed; do
  [[ "$name" =~ ^($allowed_needed)$ ]] || fail "needs $name"
done

if [ "$device" = 1 ]; then
  grep -qxF "$libc" <<<"$needed" || fail "does not need $libc"
  ! grep -q '(VERNEED)' <<<"$dynamic" || fail "needs symbol versions"
  versioned=$(grep '@' <<<"$undefined" || true)
  [ -z "$versioned" ] || fail "versioned references: $(echo $versioned)"
fi

# The exports table against the dynamic symbol table: NAME KIND SIZE rows.
size_column=$([ "$word_bits" = 64 ] && echo 4 || echo 3)
expected=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$exports" |
  awk -v col="$size_column" '
    $2 == "function" { print $1, "FUNC", "-"; next }
    $2 == "object" { print $1, "OBJECT", ($(col) != "" ? $(col) : $3); next }
    { print $1, "no kind in the exports table", "-" }' | sort -u)
actual=$(awk '$1 ~ /^[0-9]+:$/ && $7 != "UND" && ($5 == "GLOBAL" || $5 == "WEAK") \
              && $6 == "DEFAULT" && $4 != "SECTION" && $4 != "FILE" {
                sub(/@.*/, "", $8); print $8, $4, ($4 == "FUNC" ? "-" : $3) }' <<<"$dynsyms" |
  sort -u)
missing=$(comm -13 <(echo "$actual") <(echo "$expected"))
surplus=$(comm -23 <(echo "$actual") <(echo "$expected"))
[ -z "$missing" ] || fail "expected but not exported as such: $(echo "$missing" | paste -sd, -)"
[ -z "$surplus" ] || fail "exported but not as in the table: $(echo "$surplus" | paste -sd, -)"

# Every undefined name must be on one of the lists.
allowed=$(names_of "$libc_functions" "$imports" "$host_services")
sanitizer_runtime='^__(asan|ubsan|lsan|sanitizer)_'
unlisted=$(comm -23 <(sed 's/@.*//' <<<"$undefined" | sort -u) <(echo "$allowed") |
           { [ -n "$extra_needed" ] && grep -Ev "$sanitizer_runtime" || cat; } || true)
[ -z "$unlisted" ] || fail "imports names on no list: $(echo $unlisted)"

if [ "$failures" -gt 0 ]; then exit 1; fi
echo "ok: $soname exports $(echo "$expected" | wc -l) names and imports only listed ones"
