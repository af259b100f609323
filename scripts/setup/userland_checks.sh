# Checks of the device userland: what the dependencies were built into and
# what the device libraries import from it.

# The dynamic symbols of a file: defined ones, or with "UND" undefined
# ones that must be bound (weak ones may stay null).
dynamic_symbols() {
  mipsel-linux-gnu-readelf --dyn-syms -W "$1" |
    awk -v want="${2:-}" '$1 ~ /^[0-9]+:$/ && $8 != "" &&
      (want == "UND" ? $7 == "UND" && $5 == "GLOBAL" : $7 != "UND") {
        sub(/@.*/, "", $8); print $8 }' |
    sort -u
}

# The needed libraries of a file, recursively, as files of the userland.
needed_files() {
  local root=$1 file=$2 name found
  for name in $(mipsel-linux-gnu-readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    found=$(ls "$root/lib/$name" "$root/usr/lib/$name" 2>/dev/null | head -n1 || true)
    [ -n "$found" ] || { echo "setup: $file needs $name, which the userland lacks" >&2; return 1; }
    echo "$found"
    needed_files "$root" "$found"
  done
}

# Every library the dependencies installed records uClibc-ng's libraries or
# each other's, no run path, and finds each function it calls in them:
# uClibc-ng's MIPS loader binds a missing one to null without failing.
check_userland() {
  local root=$1 library needed unbound failed=0
  for library in $(find "$root/usr/lib" -maxdepth 1 -name '*.so.*' -type f); do
    needed=$(needed_files "$root" "$library") || { failed=1; continue; }
    if mipsel-linux-gnu-readelf -d "$library" | grep -qE '\((RPATH|RUNPATH)\)'; then
      echo "setup: $library records a run path" >&2
      failed=1
    fi
    unbound=$(comm -23 <(dynamic_symbols "$library" UND) \
      <(for f in $needed; do dynamic_symbols "$f"; done | sort -u))
    [ -z "$unbound" ] && continue
    echo "setup: $(basename "$library") calls what uClibc-ng lacks: $(echo $unbound)" >&2
    failed=1
  done
  [ "$failed" = 0 ] || exit 1
}

# check_device_imports ROOT [note]: the userland's libraries define every
# dependency function the device libraries import (GNU libiconv's prefixed
# names come from the host process itself). With "note" (a tree of the
# user's) a lack is reported, not an error: the uClibc-ng load test needs
# only the C library.
check_device_imports() {
  local root=$1 imported missing
  imported=$(sed -n 's/^\([A-Za-z_][A-Za-z0-9_]*\).*/\1/p' "$here"/*/imports.list)
  missing=$(comm -23 <(echo "$imported" | grep -v '^libiconv' | sort -u) \
    <(find "$root/usr/lib/" -name '*.so.*' | while read -r f; do dynamic_symbols "$f"; done |
        sort -u))
  [ -z "$missing" ] && return
  echo "setup: the device userland in $root lacks ${missing//$'\n'/ }" >&2
  [ "${2:-}" = note ] || exit 1
}
