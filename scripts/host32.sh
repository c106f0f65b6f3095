#!/usr/bin/env bash
# Prints how this host runs 32-bit x86 Linux programs (Wine runs the Windows
# programs with them, and the unit tests are such programs):
#   native    its kernel runs them (a 32-bit program's uname says x86_64, or
#             the host is itself 32-bit);
#   emulated  a qemu handler runs them (uname says i686): slow, and neither
#             Wine nor AddressSanitizer works there;
#   none      nothing runs them;
#   unknown   no 32-bit compiler yet to find out.
# Usage: scripts/host32.sh [SCRATCH_DIR]   (the probe is built there; it must
# allow running programs, which /tmp sometimes does not)
set -u
dir="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
mkdir -p "$dir"
probe="$dir/probe32.$$"
trap 'rm -f "$probe"' EXIT
if ! printf '%s\n' '#include <stdio.h>' '#include <sys/utsname.h>' \
       'int main(void) { struct utsname u; if (uname(&u)) return 1; puts(u.machine); return 0; }' \
     | gcc -m32 -x c - -o "$probe" 2>/dev/null; then
  echo unknown
  exit 0
fi
machine="$("$probe" 2>/dev/null || true)"
case "$machine" in
  x86_64) echo native ;;
  i?86) case "$(uname -m)" in i?86) echo native ;; *) echo emulated ;; esac ;;
  *) echo none ;;
esac
