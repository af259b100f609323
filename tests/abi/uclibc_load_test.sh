#!/usr/bin/env bash
# The device libraries on the device's kind of C library (uClibc-ng):
#  - every function of the C library allowlist is one uClibc-ng exports;
#  - a host linked against uClibc-ng loads each library with
#    dlopen(RTLD_NOW) under uClibc-ng's own loader, in qemu, and finds every
#    name the library leaves undefined.
# Usage: uclibc_load_test.sh UCLIBC_ROOT ALLOWLIST HOST LIBRARY...
set -euo pipefail
uclibc=$1 allowlist=$2 host=$3
shift 3

allowed=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$allowlist" | sort -u)
exported=$(readelf --dyn-syms -W "$uclibc/lib/libc.so.0" |
  awk '$1 ~ /^[0-9]+:$/ && $7 != "UND" && $4 == "FUNC" { print $8 }' | sort -u)
missing=$(comm -23 <(echo "$allowed") <(echo "$exported"))
if [ -n "$missing" ]; then
  echo "FAIL: allowed but not in uClibc-ng's libc.so.0: $(echo $missing)"
  exit 1
fi

failures=0
for library in "$@"; do
  undefined=$(readelf --dyn-syms -W "$library" | awk '$1 ~ /^[0-9]+:$/ && $7 == "UND" && $5 == "GLOBAL" { print $8 }')
  # shellcheck disable=SC2086
  qemu-mipsel -L "$uclibc" "$host" "$library" $undefined || failures=$((failures + 1))
done
[ "$failures" -eq 0 ]
