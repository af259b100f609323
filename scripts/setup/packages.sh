# Host packages by flavour: what each one's build and tests need. windows,
# mipsel and fuzz need native's too: its build tools and the tools fixtures
# are made with; windows builds the native sample server, fuzz links the
# native dependencies. asan needs exactly native's.
native_packages=(
  build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libmpg123-dev libvorbisidec-dev libflac-dev libfreetype-dev libsqlite3-dev
  libpng-dev libsdl2-ttf-dev python3-fonttools
  sox libsox-fmt-mp3 lame vorbis-tools flac mpg123 ffmpeg fonts-nanum
)
windows_packages=(
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 googletest zip
  wine wine32:i386 fonts-wine xvfb xauth x11-utils x11-apps
)
# The cross compiler, uClibc-ng's source and the tools that build the
# dependencies from Debian's source packages.
mipsel_packages=(
  g++-mipsel-linux-gnu libc6-mipsel-cross googletest uclibc-source
  autoconf automake libtool tcl
)
fuzz_packages=(clang libclang-rt-14-dev)
# The style check: clang-format over the sources git lists.
style_packages=(clang-format git)
# qemu-user runs windows (where the kernel cannot run i386 programs) and mipsel
# programs: the backported 10.0, since bookworm's 7.2 cannot run wine (its i386
# signal frames lack the trap number wine's exception handling needs).
backported_packages=(qemu-user)

sources_changed=0

need_arch() {
  dpkg --print-foreign-architectures | grep -qx "$1" && return
  dpkg --add-architecture "$1"
  sources_changed=1
}

# The packages of the arguments that are not installed.
missing_packages() {
  local native installed
  native=$(dpkg --print-architecture)
  installed=$( (dpkg-query -W -f='${binary:Package} ${db:Status-Status}\n' "$@" 2>/dev/null ||
    true) | awk -v suffix=":$native" '$2 == "installed" { sub(suffix "$", "", $1); print $1 }')
  printf '%s\n' "$@" | grep -vxF -f <(echo "$installed") || true
}

quietly() {
  local log
  log=$(mktemp)
  "$@" >"$log" 2>&1 || { cat "$log" >&2; rm -f "$log"; return 1; }
  rm -f "$log"
}

# The archive the machine already installs bookworm from: the URI of the
# first configured source (deb822 or one-line form) that carries the suite.
debian_archive_uri() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = ""; FS = "\n" }
         { uri = ""; suite = 0; binary = 0
           for (i = 1; i <= NF; i++) {
             if ($i ~ /^Types:/ && $i ~ /[ \t]deb([ \t]|$)/) binary = 1
             if ($i ~ /^URIs:/) { split($i, w, " "); uri = w[2] }
             if ($i ~ /^Suites:/ && $i ~ /[ \t]bookworm([ \t]|$)/) suite = 1
           }
           if (uri != "" && suite && binary) { print uri; exit } }' "$f"
  done | head -n1 | grep . && return
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' || true
}

# add_source FILE TYPE SUITES: one more apt source on the machine's own
# Debian archive.
add_source() {
  local file=/etc/apt/sources.list.d/$1.sources uri
  [ -f "$file" ] && return
  uri=$(debian_archive_uri)
  [ -n "$uri" ] || { echo "setup: no Debian bookworm source configured in apt" >&2; exit 1; }
  printf '%s\n' "Types: $2" "URIs: $uri" "Suites: $3" "Components: main" \
    "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" >"$file"
  sources_changed=1
}

# install_packages PACKAGE...: installs what is missing, qemu-user from
# bookworm-backports.
install_packages() {
  local missing backports=() p
  missing=$(missing_packages "$@")
  for p in "${backported_packages[@]}"; do
    [[ " $* " == *" $p "* ]] || continue
    missing=$(echo "$missing" | grep -vx "$p" || true)
    dpkg-query -W -f='${Version}' "$p" 2>/dev/null | grep -q bpo || backports+=("$p")
  done
  [ -z "$missing" ] && [ ${#backports[@]} -eq 0 ] && [ "$sources_changed" = 0 ] && return
  export DEBIAN_FRONTEND=noninteractive
  quietly apt-get update
  sources_changed=0
  [ -z "$missing" ] && [ ${#backports[@]} -eq 0 ] && return
  echo "setup: installing $(echo $missing ${backports[@]} | wc -w) packages"
  # shellcheck disable=SC2086
  [ -z "$missing" ] || quietly apt-get install -y --no-install-recommends $missing
  [ ${#backports[@]} -eq 0 ] ||
    quietly apt-get install -y --no-install-recommends -t bookworm-backports "${backports[@]}"
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
    local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386:F" >"$misc/register"
    "$probe/p" || { echo "setup: cannot run i386 programs" >&2; exit 1; }
  fi
  rm -rf "$probe"
}
