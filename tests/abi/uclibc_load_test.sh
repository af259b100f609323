#!/usr/bin/env bash
# uclibc_load_test.sh UCLIBC_ROOT ALLOWLIST HOST LIBRARY...: uClibc-ng exports each allowed
# function, and HOST loads each library with uClibc-ng's loader, in qemu, binding every import.
set -uo pipefail
uclibc=$1 allowlist=$2 host=$3 failures=0
shift 3
symbols() { readelf --dyn-syms -W "$1" | awk '$1 ~ /^[0-9]+:$/ && '"$2"' { print $8 }' | sort -u; }
missing=$(comm -23 <(sed -e 's/#.*//' -e '/^\s*$/d' "$allowlist" | sort -u) \
  <(symbols "$uclibc/lib/libc.so.0" '$7 != "UND" && $4 == "FUNC"'))
[ -z "$missing" ] || { echo "FAIL: allowed but not in uClibc-ng: $(echo $missing)"; failures=1; }
for library; do
  imports=$(symbols "$library" '$7 == "UND" && $5 == "GLOBAL"')
  qemu-mipsel -L "$uclibc" "$host" "$library" $imports || failures=1
done
exit $failures
