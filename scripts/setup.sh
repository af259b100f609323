#!/usr/bin/env bash
# Installs what the given build flavours need and builds what they build
# against; the default is every flavour. Safe to run again: a second run
# only checks and returns.
#   native, asan  compilers, dependency headers, media tools, fonts
#   windows       mingw-w64, wine (i386), Xvfb, qemu-user; and native's
#   mipsel        the cross compiler, qemu-user, the mipsel sysroot, and
#                 uClibc-ng with the dependencies built for it; and native's
#   fuzz          clang and its sanitizer run-times; and native's
#   style         clang-format, which the test command checks the sources with
# Device builds are kept once per machine under ${XDG_CACHE_HOME:-~/.cache}/tolmek
# and linked from .deps/. TOLMEK_MIPSEL_SYSROOT and TOLMEK_UCLIBC_ROOT name
# trees to use instead (built there only when missing). TOLMEK_USERLAND_LATER=1
# leaves the device userland to a later run (the test command builds it while
# it tests the other flavours).
# Usage: scripts/setup.sh [native|asan|windows|mipsel|fuzz|style|all]...
set -euo pipefail
shopt -s inherit_errexit # a failure inside $(...) stops setup too

here=$(cd "$(dirname "$0")/.." && pwd)
for part in packages cache sysroot uclibc device_deps userland_checks; do
  # shellcheck source=/dev/null
  . "$here/scripts/setup/$part.sh"
done

# Scratch space of this run, removed however it ends (readable by apt's
# download user).
TMPDIR=$(mktemp -d)
chmod 755 "$TMPDIR"
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT

usage() {
  echo "usage: scripts/setup.sh [native|asan|windows|mipsel|fuzz|style|all]..." >&2
  exit 2
}

# flavours: those asked for, with those they build on.
flavours=()
for flavour in "${@:-all}"; do
  case "$flavour" in
    native | asan) flavours+=(native) ;;
    windows | mipsel | fuzz) flavours+=(native "$flavour") ;;
    style) flavours+=(style) ;;
    all) flavours+=(native windows mipsel fuzz style) ;;
    *) usage ;;
  esac
done

wants() {
  [[ " ${flavours[*]} " == *" $1 "* ]]
}

# Packages first (with the architectures and sources they come from), then
# the flavours' own setup.
setup_flavours() {
  local packages=() flavour list
  for flavour in $(printf '%s\n' "${flavours[@]}" | sort -u); do
    list="${flavour}_packages[@]"
    packages+=("${!list}")
  done
  if wants windows || wants mipsel; then
    packages+=("${backported_packages[@]}")
    add_source bookworm-backports deb bookworm-backports
  fi
  wants windows && need_arch i386
  if wants mipsel; then
    need_arch mipsel
    add_source bookworm-deb-src deb-src "bookworm bookworm-updates"
  fi
  mapfile -t packages < <(printf '%s\n' "${packages[@]}" | sort -u)
  install_packages "${packages[@]}"
  wants windows && enable_i386_programs
  if wants mipsel; then
    provide mipsel-sysroot "${TOLMEK_MIPSEL_SYSROOT:-}" sysroot_key assemble_sysroot
    [ "${TOLMEK_USERLAND_LATER:-}" = 1 ] && return 0
    provide uclibc-ng-mipsel "${TOLMEK_UCLIBC_ROOT:-}" device_sysroot_key build_device_sysroot
    check_device_imports "${TOLMEK_UCLIBC_ROOT:-$here/.deps/uclibc-ng-mipsel}" \
      "${TOLMEK_UCLIBC_ROOT:+note}"
  fi
  return 0
}

setup_flavours
