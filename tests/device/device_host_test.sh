#!/usr/bin/env bash
# device_host_test.sh UCLIBC ALLOWLIST WORK GLIBC_HOST UCLIBC_HOST MEDIA TTF BDF HANGUL AUDIO FONT
# DB EMULATOR...: uClibc-ng exports every C library function the libraries may import; the device
# host passes on glibc (through the flavour's EMULATOR) and on uClibc-ng (in a root of only its
# libraries and ours, so nothing of glibc can load), and both runs print the same lines.
set -uo pipefail
uclibc=$1 allowlist=$2 work=$3 glibc_host=$4 uclibc_host=$5 failures=0
data=("$6" "$7" "$8" "$9" "$work/device.db") libraries=("${10}" "${11}" "${12}")
shift 12
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
symbols() { readelf --dyn-syms -W "$1" | awk '$1 ~ /^[0-9]+:$/ && '"$2"' { print $8 }' | sort -u; }

missing=$(comm -23 <(sed -e 's/#.*//' -e '/^\s*$/d' "$allowlist" | sort -u) \
  <(symbols "$uclibc/lib/libc.so.0" '$7 != "UND" && $4 == "FUNC"'))
[ -z "$missing" ] || fail "allowed but not in uClibc-ng: $(echo $missing)"

rm -rf "$work" && mkdir -p "$work/root/usr/lib" && ln -s "$uclibc/lib" "$work/root/lib"
ln -s "$uclibc"/usr/lib/*.so.* "${libraries[@]}" "$work/root/usr/lib/"
"$@" "$glibc_host" "${data[@]}" "${libraries[@]}" >"$work/glibc.txt" ||
  fail "on glibc: $(grep FAIL "$work/glibc.txt")"
# The libraries by soname, found where the device keeps them.
env -u LD_LIBRARY_PATH qemu-mipsel -L "$work/root" "$uclibc_host" "${data[@]}" \
  "${libraries[@]##*/}" >"$work/uclibc.txt" || fail "on uClibc-ng: $(grep FAIL "$work/uclibc.txt")"
diff -u "$work/glibc.txt" "$work/uclibc.txt" || fail "the runs differ"
echo "$(wc -l <"$work/uclibc.txt") lines compared, $failures failures"
exit $((failures > 0))
