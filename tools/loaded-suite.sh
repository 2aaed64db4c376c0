#!/usr/bin/env bash
# The native suite on a busy machine: with two busy loops per core running, each preset's tests
# run RUNS times in a row; the first failing run stops the script with its output kept.
#
#   bash tools/loaded-suite.sh [RUNS] [PRESET...]    (default: 5 runs of native, asan and tsan)
#
# The presets are built first, before the loops start. Each run is one `ctest --preset P` with
# as many jobs as cores, so the tests compete with the loops and with each other.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
shift || true
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native asan tsan)
jobs=$(nproc)
logs=build/loaded-suite
mkdir -p "$logs"

for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" >/dev/null
done

busy=()
stop_busy() {
  [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap stop_busy EXIT
for _ in $(seq $((2 * jobs))); do
  (while :; do :; done) &
  busy+=("$!")
done
echo "${#busy[@]} busy loops on $jobs cores; $runs runs of: ${presets[*]}"

for preset in "${presets[@]}"; do
  for run in $(seq "$runs"); do
    log=$logs/$preset-$run.log
    start=$(date +%s)
    if ctest --preset "$preset" -j "$jobs" --no-tests=error >"$log" 2>&1; then
      echo "$preset run $run: passed in $(($(date +%s) - start)) s ($(grep -o '[0-9]* tests failed out of [0-9]*' "$log" | head -n 1 || true)), load $(cut -d' ' -f1-3 /proc/loadavg)"
    else
      echo "$preset run $run: FAILED after $(($(date +%s) - start)) s; $log:"
      grep -E "\(Failed\)|\(Timeout\)|\(SEGFAULT\)|\(Subprocess aborted\)|tests failed" "$log" || tail -n 20 "$log"
      exit 1
    fi
  done
done
