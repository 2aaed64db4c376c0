#!/usr/bin/env bash
# Figures under Wine, in one run: the paced update by the Windows executable and by the plainest
# Win32 sender (tools/bench/wine_ref_sender.cpp: one write per block, blocking reads), idle and
# with two busy loops per core, as ratios to the wire time and to each other.
#
#   bash tools/bench/wine_bench.sh [ROUNDS]    (default 2 rounds of the four runs)
#
# It is the e2e machinery's "figures" run (tools/wine/e2e-scenarios-stress.sh): the same
# prefix, simulator and builds; KX_E2E_SETUP=0 skips the package installation. The crash
# counts of loaded starts come from `KX_STRESS_STARTS=N bash tools/wine/e2e.sh startup-stress`.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
KX_BENCH_ROUNDS=${1:-${KX_BENCH_ROUNDS:-2}} exec bash "$root/tools/wine/e2e.sh" figures
