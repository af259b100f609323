#!/usr/bin/env bash
# Checks the binary interface of one device library:
#  - its soname;
#  - its needed libraries: the C library and at most libgcc_s;
#  - its exported names: exactly the expected list, nothing more or less;
#  - its undefined names: each one provided by a listed library or by the
#    host services, so that the library binds completely at load time.
set -euo pipefail

extra_needed=""
while [ $# -gt 0 ]; do
  case "$1" in
    --library) library=$2 ;;
    --soname) soname=$2 ;;
    --exports) exports=$2 ;;
    --host-services) host_services=$2 ;;
    --extra-needed) extra_needed=$2 ;;
    --providers) IFS=';' read -r -a providers <<<"$2" ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

dynamic=$(readelf -d -W "$library")
dynsyms=$(readelf --dyn-syms -W "$library")

# Symbol table rows: Num: Value Size Type Bind Vis Ndx Name
defined_names() {
  awk '$1 ~ /^[0-9]+:$/ && $7 != "UND" && ($5 == "GLOBAL" || $5 == "WEAK") && $6 == "DEFAULT" \
       && $4 != "SECTION" && $4 != "FILE" { sub(/@.*/, "", $8); print $8 }' | sort -u
}
strong_undefined_names() {
  awk '$1 ~ /^[0-9]+:$/ && $7 == "UND" && $5 == "GLOBAL" { sub(/@.*/, "", $8); print $8 }' | sort -u
}

actual_soname=$(sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p' <<<"$dynamic")
[ "$actual_soname" = "$soname" ] || fail "soname is '$actual_soname', expected '$soname'"

allowed_needed="libc\\.so\\.[06]|libgcc_s\\.so\\.1"
[ -n "$extra_needed" ] && allowed_needed="$allowed_needed|$extra_needed"
while read -r needed; do
  [[ "$needed" =~ ^($allowed_needed)$ ]] || fail "needs $needed"
done < <(sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' <<<"$dynamic")

exported=$(defined_names <<<"$dynsyms")
expected=$(grep -v '^#' "$exports" | sed '/^$/d' | sort -u)
missing=$(comm -13 <(echo "$exported") <(echo "$expected"))
surplus=$(comm -23 <(echo "$exported") <(echo "$expected"))
[ -z "$missing" ] || fail "not exported: $(echo $missing)"
[ -z "$surplus" ] || fail "exported beyond the interface: $(echo $surplus)"

provided=$( {
  cat "$host_services"
  for lib in "${providers[@]}"; do readelf --dyn-syms -W "$lib" | defined_names; done
} | sort -u)
sanitizer_runtime='^__(asan|ubsan|lsan|sanitizer)_'
unbound=$(comm -23 <(strong_undefined_names <<<"$dynsyms") <(echo "$provided") |
          { [ -n "$extra_needed" ] && grep -Ev "$sanitizer_runtime" || cat; } || true)
[ -z "$unbound" ] || fail "undefined and provided by nobody allowed: $(echo $unbound)"

if [ "$failures" -gt 0 ]; then exit 1; fi
echo "ok: $soname exports $(echo "$expected" | wc -l) names, binds to ${#providers[@]} libraries and the host"
