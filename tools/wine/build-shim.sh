#!/usr/bin/env bash
# Builds the 32-bit modem-line fixture that is preloaded into wine for the end-to-end runs
# (never part of the product), and with --test runs its checks.
#   bash tools/wine/build-shim.sh [--test] [OUTDIR]     (default OUTDIR: build/wine)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
run_tests=0
if [ "${1:-}" = "--test" ]; then run_tests=1; shift; fi
out=${1:-$root/build/wine}
mkdir -p "$out"
src=$here/ptyshim
cflags=(-m32 -O2 -Wall -Wextra -Werror -std=c11)

if [ ! -e "$out/libptyshim.so" ] || [ "$src/ptyshim.c" -nt "$out/libptyshim.so" ]; then
  gcc "${cflags[@]}" -shared -fPIC -o "$out/libptyshim.so.tmp" "$src/ptyshim.c" -ldl
  mv "$out/libptyshim.so.tmp" "$out/libptyshim.so"
fi

if [ "$run_tests" = 1 ]; then
  gcc "${cflags[@]}" -o "$out/ptyshim_test32" "$src/ptyshim_test.c"
  gcc "${cflags[@]}" -D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64 -o "$out/ptyshim_test64" \
    "$src/ptyshim_test.c"
  # The 64-bit-time build must really go through __ioctl_time64.
  if ! nm -D "$out/ptyshim_test64" | grep -q '__ioctl_time64'; then
    echo "ptyshim_test64 does not call __ioctl_time64" >&2
    exit 1
  fi
  LD_PRELOAD="$out/libptyshim.so" "$out/ptyshim_test32"
  LD_PRELOAD="$out/libptyshim.so" "$out/ptyshim_test64"
fi
echo "$out/libptyshim.so"
