# The mipsel flavour's dependency sysroot: Debian's mipsel packages, run-time
# and development parts, unpacked with dpkg -x (they cannot be co-installed
# through multiarch here). The C and C++ run-time libraries come along so
# that qemu runs the tests against one consistent set (loader, libc, gconv
# modules, libstdc++).
sysroot_packages=(
  libmpg123-0 libmpg123-dev
  libvorbisidec1 libvorbisidec-dev libogg0 libogg-dev
  libflac12 libflac-dev
  libfreetype6 libfreetype-dev libpng16-16 libpng-dev zlib1g zlib1g-dev libbrotli1
  libsqlite3-0 libsqlite3-dev
  libc6 libgcc-s1 libstdc++6
)

# What makes the sysroot: this file and the versions apt would download.
sysroot_key() {
  {
    cat "${BASH_SOURCE[0]}"
    apt-cache show --no-all-versions "${sysroot_packages[@]/%/:mipsel}" |
      grep -E '^(Package|Version):'
  } | cache_key
}

assemble_sysroot() {
  local dir=$1 debs deb
  echo "setup: assembling the mipsel sysroot"
  debs=$(mktemp -d)
  chown _apt "$debs" 2>/dev/null || true
  (cd "$debs" && apt-get download -qq "${sysroot_packages[@]/%/:mipsel}" >/dev/null)
  for deb in "$debs"/*.deb; do dpkg -x "$deb" "$dir"; done
  rm -rf "$debs"
  relative_links "$dir"
}

# Links such as libz.so -> /lib/... point outside the sysroot: make them
# relative so they resolve inside it, wherever it lies.
relative_links() {
  local root=$1 link target
  while IFS= read -r link; do
    target=$(readlink "$link")
    case "$target" in
      /*) ln -sfn "$(realpath -m --relative-to="$(dirname "$link")" "$root$target")" "$link" ;;
    esac
  done < <(find "$root" -type l)
}
