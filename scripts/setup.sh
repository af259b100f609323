#!/usr/bin/env bash
# Installs everything every build flavour needs and assembles the mipsel
# sysroot. Safe to run again: a second run only checks and returns.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
sysroot="${TOLMEK_MIPSEL_SYSROOT:-$here/.deps/mipsel-sysroot}"
uclibc="${TOLMEK_UCLIBC_ROOT:-$here/.deps/uclibc-ng-mipsel}"

# Host packages: compilers of all three flavours, wine, Xvfb, qemu, the
# native dependency headers, media tools for fixtures and the Korean font.
packages=(
  build-essential cmake ninja-build pkg-config googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine32:i386 xvfb xauth x11-utils x11-apps
  g++-mipsel-linux-gnu libc6-mipsel-cross
  libmpg123-dev libvorbisidec-dev libflac-dev libfreetype-dev libsqlite3-dev
  sox libsox-fmt-mp3 lame vorbis-tools flac mpg123 ffmpeg fonts-nanum fonts-wine
  libpng-dev python3-fonttools libsdl2-ttf-dev clang libclang-rt-14-dev clang-format
  uclibc-source zip
)

# mipsel libraries unpacked into the sysroot (run-time and development parts).
# The C and C++ run-time libraries come along so that qemu runs the tests
# against one consistent set (loader, libc, gconv modules, libstdc++).
mipsel_packages=(
  libmpg123-0 libmpg123-dev
  libvorbisidec1 libvorbisidec-dev libogg0 libogg-dev
  libflac12 libflac-dev
  libfreetype6 libfreetype-dev libpng16-16 libpng-dev zlib1g zlib1g-dev libbrotli1
  libsqlite3-0 libsqlite3-dev
  libc6 libgcc-s1 libstdc++6
)

need_arch() {
  dpkg --print-foreign-architectures | grep -qx "$1" || dpkg --add-architecture "$1"
}

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

quietly() {
  local log
  log=$(mktemp)
  "$@" >"$log" 2>&1 || { cat "$log" >&2; rm -f "$log"; return 1; }
  rm -f "$log"
}

# qemu 7.2 of bookworm cannot run wine (its i386 signal frames lack the trap
# number wine's exception handling needs); the backported 10.0 can.
backports=/etc/apt/sources.list.d/bookworm-backports.sources
add_backports() {
  [ -f "$backports" ] && return
  local uri
  uri=$(debian_archive_uri)
  [ -n "$uri" ] || { echo "setup: no Debian bookworm source configured in apt" >&2; exit 1; }
  cat >"$backports" <<SOURCES
Types: deb
URIs: $uri
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
}

# The archive the machine already installs bookworm from: the URI of the
# first configured source (deb822 or one-line form) that carries the suite.
debian_archive_uri() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = ""; FS = "\n" }
         { uri = ""; suite = 0
           for (i = 1; i <= NF; i++) {
             if ($i ~ /^URIs:/) { split($i, w, " "); uri = w[2] }
             if ($i ~ /^Suites:/ && $i ~ /[ \t]bookworm([ \t]|$)/) suite = 1
           }
           if (uri != "" && suite) { print uri; exit } }' "$f"
  done | head -n1 | grep . && return
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }'
}

qemu_is_backported() {
  dpkg-query -W -f='${Version}' qemu-user 2>/dev/null | grep -q bpo
}

install_host_packages() {
  need_arch i386
  need_arch mipsel
  add_backports
  local missing
  missing=$(missing_packages)
  [ -z "$missing" ] && qemu_is_backported && return
  echo "setup: installing $(echo $missing | wc -w) packages and qemu-user"
  export DEBIAN_FRONTEND=noninteractive
  quietly apt-get update
  # shellcheck disable=SC2086
  quietly apt-get install -y --no-install-recommends $missing
  quietly apt-get install -y --no-install-recommends -t bookworm-backports qemu-user
}

# Some kernels boot with 32-bit emulation switched off; wine32 then runs
# through qemu-i386, registered as the interpreter of i386 ELF files.
enable_i386_programs() {
  local probe
  probe=$(mktemp -d)
  printf '.globl _start\n_start: mov $1,%%eax\n xor %%ebx,%%ebx\n int $0x80\n' >"$probe/p.s"
  as --32 "$probe/p.s" -o "$probe/p.o" && ld -m elf_i386 "$probe/p.o" -o "$probe/p"
  if ! "$probe/p" 2>/dev/null; then
    local misc=/proc/sys/fs/binfmt_misc
    [ -f "$misc/register" ] || mount -t binfmt_misc binfmt_misc "$misc"
    [ -f "$misc/qemu-i386" ] && echo -1 >"$misc/qemu-i386"
    echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' >"$misc/register"
    "$probe/p" || { echo "setup: cannot run i386 programs" >&2; exit 1; }
  fi
  rm -rf "$probe"
}

assemble_sysroot() {
  local stamp="$sysroot/.packages"
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "${mipsel_packages[*]}" ] && return
  echo "setup: assembling the mipsel sysroot in $sysroot"
  local debs
  debs=$(mktemp -d)
  chown _apt "$debs" 2>/dev/null || true
  (cd "$debs" && apt-get download -qq "${mipsel_packages[@]/%/:mipsel}" >/dev/null)
  rm -rf "$sysroot"
  mkdir -p "$sysroot"
  for deb in "$debs"/*.deb; do dpkg -x "$deb" "$sysroot"; done
  rm -rf "$debs"
  fix_absolute_links
  echo "${mipsel_packages[*]}" >"$stamp"
}

# Links such as libz.so -> /lib/... point outside the sysroot: make them
# relative so they resolve inside it.
fix_absolute_links() {
  local link target
  while IFS= read -r link; do
    target=$(readlink "$link")
    case "$target" in
      /*) ln -sfn "$(realpath -m --relative-to="$(dirname "$link")" "$sysroot$target")" "$link" ;;
    esac
  done < <(find "$sysroot" -type l)
}

# The device's kind of C library, built from Debian's uclibc-source: one
# test loads every mipsel library under its loader (ld-uClibc.so.0) and
# checks the C library allowlist against what it exports. Without the
# loader's cache: under qemu /etc/ld.so.cache is the build machine's.
uclibc_settings=(
  'ARCH_LITTLE_ENDIAN=y' 'ARCH_WANTS_LITTLE_ENDIAN=y'
  'CROSS_COMPILER_PREFIX="mipsel-linux-gnu-"'
  'KERNEL_HEADERS="/usr/mipsel-linux-gnu/include"'
  'UCLIBC_HAS_THREADS=y' 'UCLIBC_HAS_THREADS_NATIVE=y'
  'UCLIBC_HAS_WCHAR=y' 'DO_C99_MATH=y'
  'RUNTIME_PREFIX="/"' 'DEVEL_PREFIX="/usr/"' 'LDSO_CACHE_SUPPORT=n'
)
build_uclibc() {
  local stamp="$uclibc/.settings" source
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "${uclibc_settings[*]}" ] && return
  source=$(ls /usr/src/uClibc-ng-*.tar.xz | sort -V | tail -n1)
  echo "setup: building $(basename "$source" .tar.xz) for mipsel into $uclibc (a few minutes)"
  local work
  work=$(mktemp -d)
  tar -xf "$source" -C "$work" --strip-components=1
  (
    cd "$work"
    quietly make ARCH=mips defconfig
    local setting
    for setting in "${uclibc_settings[@]}"; do
      sed -i -e "/^${setting%%=*}=/d" -e "/^# ${setting%%=*} is not set/d" .config
      echo "$setting" >>.config
    done
    sed -i -e '/^ARCH_BIG_ENDIAN=/d' -e '/^ARCH_WANTS_BIG_ENDIAN=/d' -e '/^HAS_NO_THREADS=/d' .config
    quietly make ARCH=mips olddefconfig
    quietly make ARCH=mips -j "$(nproc)"
    rm -rf "$uclibc"
    quietly make ARCH=mips PREFIX="$uclibc" install
  )
  rm -rf "$work"
  echo "${uclibc_settings[*]}" >"$stamp"
}

install_host_packages
enable_i386_programs
assemble_sysroot
build_uclibc
