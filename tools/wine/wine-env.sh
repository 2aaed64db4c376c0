# Chooses how Windows programs run here, for the scripts that source this file.
#
# Where the machine runs 32-bit programs: the 32-bit product under 32-bit Wine. Where it
# cannot (a kernel without IA-32 emulation: a 32-bit program links, then fails with "Exec
# format error"): the 64-bit build of the same sources under 64-bit Wine. KX_WINE_BITS=32 or
# 64 forces a path; any other value is refused.
#
# Sets: kx_wine_bits (32 or 64), kx_wine_why (how it was chosen), kx_win_preset and
# kx_win_build_dir (the Windows build to run), kx_wine and kx_wineserver (the loader and server
# to call), and exports WINELOADER, WINESERVER and WINEARCH to match.

# Assembles, links and runs a 32-bit program that only ends: true when the machine can execute
# it. The assembler and linker do it without a C library (gcc -m32 would need gcc-multilib,
# which Debian does not install beside the ARM cross compilers).
kx_runs_32bit() {
  local dir rc=1
  dir=$(mktemp -d /tmp/kx-probe32.XXXXXX) || return 1
  printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/p.s"
  if as --32 -o "$dir/p.o" "$dir/p.s" >/dev/null 2>&1 &&
    ld -m elf_i386 -o "$dir/p" "$dir/p.o" >/dev/null 2>&1 && "$dir/p" >/dev/null 2>&1; then rc=0; fi
  rm -rf "$dir"
  return $rc
}

case "${KX_WINE_BITS:-}" in
  32 | 64)
    kx_wine_bits=$KX_WINE_BITS
    kx_wine_why="forced by KX_WINE_BITS"
    ;;
  "")
    if kx_runs_32bit; then
      kx_wine_bits=32
      kx_wine_why="this machine runs 32-bit programs"
    else
      kx_wine_bits=64
      kx_wine_why="this machine cannot run 32-bit programs"
    fi
    ;;
  *)
    echo "KX_WINE_BITS must be 32 or 64, not '$KX_WINE_BITS'" >&2
    return 2 2>/dev/null || exit 2
    ;;
esac

# /usr/bin/wine picks the 32-bit loader whenever it is installed: name the loader and its server.
if [ "$kx_wine_bits" = 64 ]; then
  kx_win_preset=windows64
  kx_wine=/usr/lib/wine/wine64
  kx_wineserver=/usr/lib/wine/wineserver64
  export WINEARCH=win64
else
  kx_win_preset=windows
  kx_wine=/usr/lib/wine/wine
  kx_wineserver=/usr/lib/wine/wineserver32
  export WINEARCH=win32
fi
export WINELOADER=$kx_wine WINESERVER=$kx_wineserver
kx_win_build_dir=build/$kx_win_preset
