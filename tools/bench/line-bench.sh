#!/usr/bin/env bash
# The production line's time under Wine, side by side in one run: one paced simulated device
# updated with "/auto=COM5", then three and six paced devices each updated by one command
# ("/auto=COM5,COM6,COM7", ...), each from the start of the program to its exit. Prints the
# three wall times and the ratios to the one device's time. The set-up (prefix, display, ports,
# simulators) is the Wine end-to-end runner's: this runs its line-bench scenario.
set -euo pipefail
exec bash "$(cd "$(dirname "$0")/../wine" && pwd)/e2e.sh" line-bench
