# The device's kind of C library: uClibc-ng from Debian's uclibc-source,
# built for mipsel with the cross compiler. One test loads every mipsel
# library under its loader (ld-uClibc.so.0); the dependencies are built
# against it. Without the loader's cache: under qemu /etc/ld.so.cache is the
# build machine's. iconv converts tag texts from legacy encodings (CP949 and
# EUC-KR among them); the rest is what the dependencies call.
uclibc_settings=(
  'ARCH_LITTLE_ENDIAN=y' 'ARCH_WANTS_LITTLE_ENDIAN=y'
  'CROSS_COMPILER_PREFIX="mipsel-linux-gnu-"'
  'KERNEL_HEADERS="/usr/mipsel-linux-gnu/include"'
  'UCLIBC_HAS_THREADS=y' 'UCLIBC_HAS_THREADS_NATIVE=y'
  'UCLIBC_HAS_WCHAR=y' 'DO_C99_MATH=y' 'UCLIBC_HAS_LIBICONV=y'
  'RUNTIME_PREFIX="/"' 'DEVEL_PREFIX="/usr/"' 'LDSO_CACHE_SUPPORT=n'
)
kernel_headers_package=linux-libc-dev-mipsel-cross

iconv_patch=$here/scripts/setup/uclibc-iconv-euc-kr.patch

# What makes the C library: this file and its patch, the sources and the
# cross tools.
uclibc_key() {
  {
    cat "${BASH_SOURCE[0]}" "$iconv_patch"
    package_versions uclibc-source gcc-12-mipsel-linux-gnu binutils-mipsel-linux-gnu \
      "$kernel_headers_package"
    source_digests musl
  } | cache_key
}

# Builds uClibc-ng into DIR with the settings above on top of mips' defaults.
build_uclibc() {
  local dir=$1 source work
  source=$(ls /usr/src/uClibc-ng-*.tar.xz | sort -V | tail -n1)
  echo "setup: building $(basename "$source" .tar.xz) for mipsel (a few minutes)"
  work=$(mktemp -d)
  tar -xf "$source" -C "$work" --strip-components=1
  add_euc_kr_decoder "$work"
  (
    cd "$work"
    quietly make ARCH=mips defconfig
    local setting
    for setting in "${uclibc_settings[@]}"; do
      sed -i -e "/^${setting%%=*}=/d" -e "/^# ${setting%%=*} is not set/d" .config
      echo "$setting" >>.config
    done
    sed -i -e '/^ARCH_BIG_ENDIAN=/d' -e '/^ARCH_WANTS_BIG_ENDIAN=/d' -e '/^HAS_NO_THREADS=/d' \
      .config
    quietly make ARCH=mips olddefconfig
    # Not one nm call per object to leave those without symbols out of the
    # archives (minutes of work): they do no harm there.
    local all_objects='objects_with_syms=$(2)'
    quietly nice make ARCH=mips -j "$(nproc)" "$all_objects"
    quietly make ARCH=mips PREFIX="$dir" "$all_objects" install
  )
  rm -rf "$work"
  copy_kernel_headers "$dir"
  probe_iconv "$dir"
}

# uClibc-ng's iconv names EUC-KR and CP949 but converts them as Latin-1: it
# lacks the table. The patch adds the decoder of musl, which that iconv
# comes from, and the table comes from Debian's musl source package.
add_euc_kr_decoder() {
  local source=$1 work
  work=$(mktemp -d)
  chown _apt "$work" 2>/dev/null || true
  (cd "$work" && apt-get source --download-only -qq musl >/dev/null 2>&1) || true
  tar -xf "$(upstream_tarball "$work/musl")" -C "$source/libiconv/include" \
    --strip-components=3 --wildcards '*/src/locale/ksc.h'
  rm -rf "$work"
  patch -d "$source" -p1 -s <"$iconv_patch"
}

# uClibc-ng's headers include the kernel's (linux/, asm/, ...), which it
# does not install: the cross toolchain's copies, file by file, so that no
# glibc header comes along.
copy_kernel_headers() {
  local include=/usr/mipsel-linux-gnu/include
  dpkg -L "$kernel_headers_package" | grep "^$include/.*\.h$" | sed "s|^$include/||" |
    (cd "$include" && xargs cp --parents -t "$1/usr/include")
}

# iconv must turn the Korean legacy encodings into UTF-8: "한글" in EUC-KR,
# and "똠", which only CP949 (EUC-KR's extension) encodes.
probe_iconv() {
  local dir=$1 work
  work=$(mktemp -d)
  cat >"$work/probe.c" <<'PROBE'
#include <iconv.h>
#include <string.h>
static int converts(const char *from, char *in, const char *utf8) {
  char out[16] = {0}, *o = out;
  size_t left = strlen(in), room = sizeof out - 1;
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == (iconv_t)-1 || iconv(cd, &in, &left, &o, &room) == (size_t)-1) return 0;
  iconv_close(cd);
  return strcmp(out, utf8) == 0;
}
int main(void) {
  return !(converts("EUC-KR", "\xc7\xd1\xb1\xdb", "\xed\x95\x9c\xea\xb8\x80") &&
           converts("CP949", "\x8c\x63", "\xeb\x98\xa0"));
}
PROBE
  TOLMEK_UCLIBC_ROOT=$dir "$here/cmake/uclibc-ng-mipsel-gcc" -O1 -o "$work/probe" "$work/probe.c"
  qemu-mipsel -L "$dir" "$work/probe" ||
    { echo "setup: uClibc-ng's iconv does not convert EUC-KR and CP949" >&2; exit 1; }
  rm -rf "$work"
}
