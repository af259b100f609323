# The device userland: uClibc-ng with the libraries' dependencies built for
# it from Debian's source packages, each with its own build system and the
# compiler wrapper cmake/uclibc-ng-mipsel-gcc. Shared libraries only, in
# lib/, usr/lib/ and usr/include/; no programs, documentation or archives.
# In build order (libpng needs zlib, FreeType both, Tremor and libFLAC Ogg).
device_sources=(zlib libpng1.6 freetype libogg libvorbisidec flac mpg123 sqlite3)
device_compiler=$here/cmake/uclibc-ng-mipsel-gcc

# What makes the userland: the C library's key, this file, the compiler
# wrapper and the source packages apt would fetch.
device_sysroot_key() {
  {
    uclibc_key
    cat "${BASH_SOURCE[0]}" "$device_compiler"
    source_digests "${device_sources[@]}"
  } | cache_key
}

# Each dependency is built against the userland, installed into a folder of
# its own, and what the device keeps of it is copied into the userland.
build_device_sysroot() {
  local root=$1 libc work name start
  libc=$(uclibc_key)
  cache_entry uclibc-ng-libc-mipsel "$libc" build_uclibc
  cp -a "$cache_root/uclibc-ng-libc-mipsel-$libc/." "$root"
  work=$(mktemp -d)
  fetch_sources "$work" "$root/sources.txt"
  for name in "${device_sources[@]}"; do
    start=$SECONDS
    (cd "$work/$name" && cross_environment "$root" && "build_${name//./_}" "$work/$name.out")
    keep_shared_libraries "$work/$name.out"
    cp -a "$work/$name.out/." "$root"
    echo "setup: $name built for uClibc-ng in $((SECONDS - start)) s"
  done
  rm -rf "$work"
  check_userland "$root"
}

# fetch_sources DIR NOTES: each source package unpacked as DIR/NAME, and
# what it was made of written to NOTES. apt-get source fetches as the _apt
# user where it can.
fetch_sources() {
  local dir=$1 notes=$2 name start=$SECONDS
  chown _apt "$dir" 2>/dev/null || true
  (cd "$dir" && apt-get source --download-only -qq "${device_sources[@]}" &>/dev/null) || true
  for name in "${device_sources[@]}"; do
    unpack_source "$(ls "$dir/${name}_"*.dsc)" "$dir/$name" >>"$notes"
  done
  echo "setup: sources fetched and unpacked in $((SECONDS - start)) s"
}

# unpack_source DSC DIR: the source package as dpkg-source unpacks it. Where
# the archive does not serve all of it: without upstream signatures, which
# unpacking does not use, or, lacking Debian's own tarball, the upstream
# tarball alone. Prints what was unpacked.
unpack_source() {
  local dsc=$1 dir=$2 missing
  missing=$(cd "$(dirname "$dsc")" &&
    awk '/^Files:/ { files = 1; next } /^[^ ]/ { files = 0 } files { print $3 }' "$dsc" |
    while read -r file; do [ -f "$file" ] || echo "$file"; done)
  if ! echo "$missing" | grep -q '\.debian\.tar\.'; then
    local complete="${dsc%.dsc}.complete.dsc"
    grep -vF -f <(echo "$missing" | grep . || echo '/') "$dsc" >"$complete"
    quietly dpkg-source --no-check -x "$complete" "$dir"
    echo "$(basename "$dsc"): Debian source package${missing:+, without ${missing//$'\n'/ }}"
  else
    mkdir "$dir"
    tar -xf "$(upstream_tarball "${dsc%%_*}")" -C "$dir" --strip-components=1
    echo "$(basename "$dsc"): upstream tarball only, not served: ${missing//$'\n'/ }"
  fi
}

# The compiler wrapper and the userland being built for every build system.
cross_environment() {
  export TOLMEK_UCLIBC_ROOT=$1 CC=$device_compiler CFLAGS="-O2 -pipe" CPPFLAGS="" LDFLAGS=""
  export AR=mipsel-linux-gnu-ar RANLIB=mipsel-linux-gnu-ranlib NM=mipsel-linux-gnu-nm
  export STRIP=mipsel-linux-gnu-strip PKG_CONFIG=pkg-config
  export PKG_CONFIG_LIBDIR=$1/usr/lib/pkgconfig PKG_CONFIG_SYSROOT_DIR=$1
}

cross_configure() {
  quietly nice ./configure --host=mipsel-linux-gnu --build="$(gcc -dumpmachine)" --prefix=/usr \
    --disable-static "$@"
}

# make_install DESTDIR [DIR]: builds in DIR (the top) and installs into DESTDIR.
make_install() {
  quietly nice make -C "${2:-.}" -j "$(nproc)"
  quietly make -C "${2:-.}" install DESTDIR="$1"
}

# Each dependency with Debian's configuration, less what the device does
# not use, installed into the directory given.
build_zlib() {
  CHOST=mipsel-linux-gnu uname=GNU quietly nice ./configure --prefix=/usr --shared
  make_install "$1"
}

build_libpng1_6() {
  cross_configure --enable-hardware-optimizations=no
  make_install "$1"
}

build_freetype() {
  cross_configure --with-zlib=yes --with-png=yes --without-bzip2 --without-harfbuzz \
    --without-brotli --without-librsvg
  make_install "$1"
}

build_libogg() {
  cross_configure
  make_install "$1"
}

build_libvorbisidec() {
  quietly nice autoreconf -fi
  cross_configure
  make_install "$1"
}

# Without the stack protector FLAC's configure turns on: its run-time
# support (__stack_chk_fail) is not part of this uClibc-ng.
build_flac() {
  cross_configure --with-ogg="$TOLMEK_UCLIBC_ROOT/usr" --disable-rpath \
    --disable-asm-optimizations --disable-cpplibs --disable-programs --disable-examples \
    --disable-doxygen-docs --disable-oggtest --disable-stack-smash-protection
  make_install "$1" include
  make_install "$1" src/libFLAC
}

# libmpg123 alone: not the programs, libout123 or libsyn123.
build_mpg123() {
  cross_configure --enable-lfs-alias --enable-modules=no --with-audio=dummy --enable-network=no
  local only=(lib_LTLIBRARIES=src/libmpg123/libmpg123.la pkgconfig_DATA=libmpg123.pc
    nodist_include_HEADERS=src/libmpg123/mpg123.h)
  quietly nice make -j "$(nproc)" "${only[@]}" src/libmpg123/libmpg123.la
  quietly make "${only[@]}" install-libLTLIBRARIES install-includeHEADERS \
    install-nodist_includeHEADERS install-pkgconfigDATA DESTDIR="$1"
}

# The amalgamation, as SQLite builds by default, with Debian's options.
build_sqlite3() {
  CFLAGS="$CFLAGS $(sqlite_debian_options)" cross_configure --enable-threadsafe \
    --enable-load-extension --enable-fts4 --enable-fts5 --disable-tcl --disable-readline \
    --disable-editline
  export CROSS_BUILDING=yes # Debian's switch: lemon for the build machine
  quietly nice make -j "$(nproc)" libsqlite3.la
  quietly make lib_install DESTDIR="$1"
  mkdir -p "$1/usr/include" "$1/usr/lib/pkgconfig"
  install -m 644 -t "$1/usr/include" sqlite3.h src/sqlite3ext.h
  install -m 644 -t "$1/usr/lib/pkgconfig" sqlite3.pc
}

# The -D options of Debian's build (debian/rules).
sqlite_debian_options() {
  sed -n '/^export CFLAGS += /,/^$/p' debian/rules |
    grep -o -- '-DSQLITE_[A-Z0-9_]*\(=[0-9]*\)\?' | tr '\n' ' '
}

# keep_shared_libraries DIR: of what a dependency installed into DIR, only
# the shared libraries, their headers and pkg-config files go into the
# userland. No libtool archives either: with them libtool would record the
# userland's build directory as a run path of the next library.
keep_shared_libraries() {
  rm -rf "$1/usr/bin" "$1/usr/share"
  find "$1" \( -name '*.a' -o -name '*.la' \) -delete
}
