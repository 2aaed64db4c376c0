#!/usr/bin/env bash
# Sets up a fresh Debian machine and runs every check: native tests (plain, ASan+UBSan, TSan),
# the Windows build, the fuzz targets and the end-to-end runs of the Windows executable.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup-debian.sh

jobs=$(nproc)

echo "=== clang-format: every C and C++ source formatted"
git ls-files '*.cpp' '*.hpp' '*.c' '*.h' | xargs clang-format --dry-run --Werror
for preset in native asan tsan; do
  echo "=== $preset: configure, build, test"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs" --no-tests=error
done

echo "=== valgrind: memcheck on the whole tool, headless, through a whole update"
valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
  build/native/tests/tool/tool_test --gtest_filter='Tool.UpdatesTheDeviceAndEndsOnOk:Tool.AWrongChecksumShowsTheErrorScreen'

echo "=== fuzz: every target for a bounded time"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
mkdir -p build/fuzz/corpus
# A fixed seed: a run explores the same inputs each time; a crash or a time-out fails the run.
for target in build/fuzz/fuzz/fuzz_*; do
  name=$(basename "$target")
  mkdir -p "build/fuzz/corpus/$name"
  "$target" -seed=1 -max_total_time="${KX_FUZZ_SECONDS:-60}" -timeout=10 "build/fuzz/corpus/$name" \
    fuzz/seeds/"$name" 2>&1 | tail -n 3
done

echo "=== windows: cross build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
# One self-contained file: it may import only the system's known DLLs, which Windows never takes
# from the program's folder (anything else, winmm and comctl32 among them, is loaded at run time
# from the system folder).
imports=$(i686-w64-mingw32-objdump -p build/windows/app/kxflash.exe | awk '/DLL Name:/ { print toupper($3) }')
echo "imports: $(echo $imports)"
for dll in $imports; do
  case "$dll" in
    KERNEL32.DLL | USER32.DLL | GDI32.DLL | ADVAPI32.DLL | MSVCRT.DLL | OLE32.DLL | SHELL32.DLL) ;;
    *) echo "kxflash.exe imports $dll, which is not one of the system's known DLLs" >&2; exit 1 ;;
  esac
done

# The manifest (Common Controls 6, asInvoker, Windows 7 to 11, per-monitor DPI awareness) and the
# version resource (the project's version, Russian).
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
python3 tools/pe_resources.py build/windows/app/kxflash.exe --version "$version"

echo "=== windows: the executable under Wine against the simulated device"
KX_E2E_SETUP=0 bash tools/wine/e2e.sh
