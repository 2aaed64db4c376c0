#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the tool and the device simulator, and updates the
# simulated device with the tool: the Windows executable under Wine, its COM5 a pseudo-terminal
# served by the simulator. With a display, the window shows there and you drive it (choose
# COM5, press "Записать", then "OK"); without one, it runs on a virtual display, is driven to a
# finished update, and the final screen is saved to artifacts/screenshots/success.png.
# On a machine that cannot run 32-bit programs, the 64-bit build runs under 64-bit Wine
# (KX_WINE_BITS=64 forces that path; tools/wine/wine-env.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup-debian.sh
jobs=$(nproc)
cmake --preset native >/dev/null
cmake --build --preset native --target devsim -j "$jobs"
# The product is the 32-bit executable; it is built everywhere, and run where it can be.
cmake --preset windows >/dev/null
cmake --build --preset windows --target kxflash wdrive -j "$jobs"
. tools/wine/wine-env.sh
if [ "$kx_win_preset" != windows ]; then
  cmake --preset "$kx_win_preset" >/dev/null
  cmake --build --preset "$kx_win_preset" --target kxflash wdrive -j "$jobs"
fi

if [ -n "${DISPLAY:-}" ]; then
  exec env KX_E2E_SETUP=0 bash tools/wine/e2e.sh show
fi
echo "No display: running the update on a virtual display and keeping a screenshot."
exec env KX_E2E_SETUP=0 bash tools/wine/e2e.sh success
