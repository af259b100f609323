# Device builds are made once per machine, in a cache outside the clone, and
# a clone links .deps/NAME to its entry. An entry's directory is named after
# a digest of everything that makes it (its build script, package and source
# versions, settings): a change makes a new entry, and a clone on other
# sources links another one.
cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/tolmek"

# The key of the text on standard input.
cache_key() {
  sha256sum | cut -c1-16
}

# "package version" lines of installed packages, for keys.
package_versions() {
  dpkg-query -W -f='${Package} ${Version}\n' "$@"
}

# "name digest" of the .dsc of each source package apt would fetch.
source_digests() {
  local listed
  listed=$(apt-get source --print-uris -qq "$@" | awk '$2 ~ /\.dsc$/ { print $2, $4 }')
  [ "$(echo "$listed" | grep -c .)" -eq $# ] ||
    { echo "setup: apt lists no source package for some of: $*" >&2; exit 1; }
  echo "$listed"
}

# upstream_tarball PATH/NAME: the upstream tarball of source package NAME.
upstream_tarball() {
  ls "$1"_*.orig.tar.* | grep -v '\.asc$'
}

# build_once DIR BUILD: runs BUILD PARTIAL unless DIR exists, then renames
# the finished PARTIAL to DIR, so a half-built entry is never used. One
# builder at a time: a second setup waits for the first and uses its result.
build_once() {
  local dir=$1 build=$2 lock start=$SECONDS
  [ -d "$dir" ] && return
  mkdir -p "$(dirname "$dir")"
  exec {lock}>"$dir.lock"
  if ! flock -n "$lock"; then
    echo "setup: waiting for another setup to finish $(basename "$dir")"
    flock "$lock"
  fi
  if [ ! -d "$dir" ]; then
    rm -rf "$dir.partial"
    mkdir "$dir.partial"
    "$build" "$dir.partial"
    mv -T "$dir.partial" "$dir"
    echo "setup: $(basename "$dir") built in $((SECONDS - start)) s"
  fi
  exec {lock}>&-
}

# cache_entry NAME KEY BUILD: makes the cached build of NAME for KEY,
# $cache_root/NAME-KEY, if it is missing.
cache_entry() {
  local dir="$cache_root/$1-$2"
  [ -d "$dir" ] && return
  remove_abandoned_builds
  build_once "$dir" "$3"
}

# Partial builds whose lock no setup holds were interrupted: their space
# is freed. (An entry that is being built stays locked until it is done.)
remove_abandoned_builds() {
  local partial lock
  for partial in "$cache_root"/*.partial; do
    [ -d "$partial" ] || continue
    exec {lock}>"${partial%.partial}.lock"
    if flock -n "$lock"; then rm -rf "$partial"; fi
    exec {lock}>&-
  done
}

# provide NAME OVERRIDE KEY_FUNCTION BUILD: links .deps/NAME to the cached
# build. An override (a tree of the user's, named by an environment
# variable) is used as it is instead, and built in place only when missing.
provide() {
  local name=$1 override=$2 key_function=$3 build=$4 link="$here/.deps/$1" key
  if [ -n "$override" ]; then
    build_once "$override" "$build"
    return
  fi
  key=$(remembered_key "$name" "$key_function")
  cache_entry "$name" "$key" "$build"
  mkdir -p "$here/.deps"
  [ -L "$link" ] || rm -rf "$link"
  ln -sfn "$cache_root/$name-$key" "$link"
}

# remembered_key NAME KEY_FUNCTION: the key, as last worked out while apt's
# package lists, the installed packages and the setup scripts are as they
# are now (a key takes apt queries of seconds each).
remembered_key() {
  local state file
  state=$({
    cat "$here"/scripts/setup/* "$here/cmake/uclibc-ng-mipsel-gcc"
    stat -c '%n %Y %s' /var/lib/apt/lists/* /var/lib/dpkg/status
  } | cache_key)
  file="$cache_root/keys/$1-$state"
  if [ ! -f "$file" ]; then
    mkdir -p "$cache_root/keys"
    "$2" >"$file.$$"
    mv "$file.$$" "$file"
  fi
  cat "$file"
}
