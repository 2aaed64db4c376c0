#!/usr/bin/env bash
# Sets up a fresh Debian machine and runs every check: native tests (plain, ASan+UBSan, TSan),
# the Windows build, the fuzz targets and the end-to-end runs of the Windows executable.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup-debian.sh

jobs=$(nproc)
for preset in native asan tsan; do
  echo "=== $preset: configure, build, test"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs" --no-tests=error
done

echo "=== windows: cross build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

echo "=== windows: the executable under Wine against the simulated device"
KX_E2E_SETUP=0 bash tools/wine/e2e.sh
