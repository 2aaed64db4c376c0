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

echo "=== station: the native kxflash against the simulated device on pseudo-terminals"
bash tools/station/e2e.sh

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

echo "=== windows: cross builds, the 32-bit product and the 64-bit build of the same sources"
for preset in windows windows64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
# One self-contained file of the right machine type, importing only the system's known DLLs,
# carrying its resources: the image, the picture, the icon, the manifest (Common Controls 6,
# asInvoker, Windows 7 to 11, per-monitor DPI awareness) and the version (the project's, Russian).
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
bash tools/check-exe.sh build/windows/app/kxflash.exe i386 "$version"
bash tools/check-exe.sh build/windows64/app/kxflash.exe x86-64 "$version"

echo "=== release: HEAD built twice from a clean export (identical), signed and verified, tampering caught"
rm -rf build/release
# Two release builds (Windows 32 and 64 bits, the three Linux packages), bounded.
KX_RELEASE_CHECK_KEEP=build/release timeout 3600 bash tools/release-check.sh

echo "=== Linux station packages: lintian, the install in a clean Debian 12 root, arm64 under qemu"
release=$(echo build/release/kxflash-*)
# Errors and warnings fail; what lintian only informs about is shown.
lintian --fail-on error,warning --display-info "$release"/kxflash_*.deb
timeout 900 bash tools/deb/install-check.sh "$release/kxflash_${version}_amd64.deb"
# The arm64 binary as shipped, under qemu-user with Debian's arm64 libraries (multiarch; see
# the README's Builds), against the native simulator.
rm -rf build/deb-arm64
dpkg-deb -x "$release/kxflash_${version}_arm64.deb" build/deb-arm64
KX_STATION_RUNNER="qemu-aarch64" timeout 600 bash tools/station/e2e.sh \
  --kxflash build/deb-arm64/usr/bin/kxflash success wrong-crc

echo "=== windows: the executable under Wine against the simulated device"
# 32-bit Wine where the machine runs 32-bit programs, 64-bit Wine where it cannot.
KX_E2E_SETUP=0 bash tools/wine/e2e.sh
. tools/wine/wine-env.sh
if [ "$kx_wine_bits" = 32 ]; then
  echo "=== windows: the 64-bit path too, forced, so that it keeps working where it is the only one"
  KX_E2E_SETUP=0 KX_WINE_BITS=64 bash tools/wine/e2e.sh success pieces-loaded
fi
