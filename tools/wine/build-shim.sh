#!/usr/bin/env bash
# Builds the modem-line fixture that is preloaded into wine for the end-to-end runs (never part
# of the product), for the word size of the wine that loads it, and with --test runs its checks.
#   bash tools/wine/build-shim.sh [--test] [--bits 32|64] [OUTDIR]
# (default: 32 bits, OUTDIR build/wine for 32 bits and build/wine64 for 64)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
run_tests=0
bits=32
while [ $# -gt 0 ]; do
  case "$1" in
    --test) run_tests=1; shift ;;
    --bits) bits=$2; shift 2 ;;
    *) break ;;
  esac
done
case "$bits" in
  32) default_out=$root/build/wine ;;
  64) default_out=$root/build/wine64 ;;
  *) echo "--bits must be 32 or 64" >&2; exit 2 ;;
esac
out=${1:-$default_out}
mkdir -p "$out"
src=$here/ptyshim
cflags=(-m"$bits" -O2 -Wall -Wextra -Werror -std=c11)

if [ ! -e "$out/libptyshim.so" ] || [ "$src/ptyshim.c" -nt "$out/libptyshim.so" ] ||
  [ "$0" -nt "$out/libptyshim.so" ]; then
  gcc "${cflags[@]}" -shared -fPIC -o "$out/libptyshim.so.tmp" "$src/ptyshim.c" -ldl
  mv "$out/libptyshim.so.tmp" "$out/libptyshim.so"
fi

if [ "$run_tests" = 1 ]; then
  if [ "$bits" = 32 ]; then
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
  else
    # 64-bit glibc has one entry point, plain ioctl.
    gcc "${cflags[@]}" -o "$out/ptyshim_test" "$src/ptyshim_test.c"
    LD_PRELOAD="$out/libptyshim.so" "$out/ptyshim_test"
  fi
fi
echo "$out/libptyshim.so"
