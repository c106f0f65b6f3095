#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 (run as root).
# Idempotent: a second run only checks.
set -euo pipefail

check_only=0
[ "${1:-}" = "--check-only" ] && check_only=1

need_install=0
for cmd in i686-w64-mingw32-g++-win32 cmake wine Xvfb xdotool yabasic brandy lua5.4 valgrind cupsd pdftoppm; do
  command -v "$cmd" >/dev/null 2>&1 || need_install=1
done
[ -e /usr/lib/i386-linux-gnu/libGL.so.1 ] || need_install=1
[ -e /usr/src/googletest/CMakeLists.txt ] || need_install=1
[ -e /usr/lib/cups/backend/cups-pdf ] || need_install=1
[ -e /usr/lib/i386-linux-gnu/libcups.so.2 ] || need_install=1
[ -e /usr/lib/gcc/x86_64-linux-gnu/12/32/libstdc++.so ] || need_install=1
[ -e /usr/lib/gcc/x86_64-linux-gnu/12/32/libasan.so ] || need_install=1
command -v clang++ >/dev/null 2>&1 || need_install=1
ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-i386.a >/dev/null 2>&1 || need_install=1

if [ "$need_install" = 1 ] && [ "$check_only" = 1 ]; then
  echo "setup: packages are missing; run scripts/setup.sh as root" >&2
  exit 1
fi
# A mirror in the middle of a sync serves index files that fail their
# checks for a minute or two; try again after a pause, and carry on with the
# indexes that did arrive (the install below fails clearly if a package is
# really missing).
apt_update() {
  local try
  for try in 1 2 3; do
    apt-get update -qq && return 0
    echo "setup: apt-get update failed (try $try)" >&2
    [ "$try" = 3 ] || sleep $((try * 15))
  done
  echo "setup: apt-get update kept failing; installing from the indexes at hand" >&2
}
# With an index missing for one architecture (the security updates for
# i386, say), a library needed for both (Multi-Arch: same) has a newer
# version for amd64 than for i386, and apt refuses the pair. The release's
# own versions then come first (-t): they exist for both architectures.
apt_install() {
  local try
  for try in 1 2; do
    apt-get install -y -qq --no-install-recommends "$@" >/dev/null && return 0
    echo "setup: apt-get install failed; trying the release's own versions first" >&2
    apt-get install -y -qq --no-install-recommends -t "$(. /etc/os-release && echo "$VERSION_CODENAME")" "$@" >/dev/null &&
      return 0
    [ "$try" = 2 ] && break
    echo "setup: apt-get install failed (try $try)" >&2
    sleep 30
    apt_update
  done
  return 1
}

if [ "$need_install" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture i386
  apt_update
  apt_install \
    g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686 \
    cmake make ninja-build g++ g++-multilib lib32asan8 lib32ubsan1 \
    googletest clang libclang-rt-14-dev \
    wine wine32:i386 \
    xvfb xauth x11-utils xdotool imagemagick \
    libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 libglu1-mesa:i386 \
    yabasic brandy lua5.4 valgrind \
    cups printer-driver-cups-pdf libcups2:i386 poppler-utils \
    ca-certificates python3
fi

# A host whose kernel runs no 32-bit code of its own cannot run Wine; its
# unit tests run under qemu instead (./korv test says what it skips).
host32="$(bash "$(dirname "${BASH_SOURCE[0]}")/host32.sh" "$(dirname "${BASH_SOURCE[0]}")/../build")"
if [ "$host32" != native ] && [ "$host32" != unknown ]; then
  if ! command -v qemu-i386 >/dev/null 2>&1; then
    if [ "$check_only" = 1 ]; then
      echo "setup: qemu-user is missing; run scripts/setup.sh as root" >&2
      exit 1
    fi
    DEBIAN_FRONTEND=noninteractive apt_install qemu-user
  fi
  echo "setup: ready (this machine runs no 32-bit code of its own: no Wine prefix made)"
  exit 0
fi

# One quiet Wine prefix, made once.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "${WINEPREFIX:-$HOME/.wine}/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
echo "setup: ready"
