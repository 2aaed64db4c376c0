#!/usr/bin/env bash
# The Linux station's figures, natively, against the device simulator on pseudo-terminals paced
# at 38462 baud, in one run:
#  - one update: the station (`kxflash --port P`, the whole process under /usr/bin/time: wall,
#    CPU, peak resident size) beside the reference sender (`transfer_bench --paced
#    --reference`: a plain blocking sender, one write per block) and the wire time; both
#    senders' transfers timed by the simulator alike, from the first image byte it reads to
#    "PUSK";
#  - start-up: from the exec of kxflash to the simulator's reading "VERS", and `kxflash
#    --version` from exec to exit (the median of 20, beside /bin/true's: what any process costs
#    on the machine at the time);
#  - three ports at once (`--port A --port B --port C`) against the one.
# Prints the machine, the date and the load average before and after: the figures move with
# the load of whatever else runs.
#
#   bash tools/bench/station-bench.sh [BUILD]
# BUILD: a build folder with app/kxflash, tools/devsim/devsim and tools/bench/transfer_bench;
# default build/linux-amd64 (the packaged build), configured and built first.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ $# -ge 1 ]; then
  build=$(cd "$1" && pwd)
else
  build=$root/build/linux-amd64
  (cd "$root" && cmake --preset linux-amd64 >/dev/null &&
    cmake --build --preset linux-amd64 --target kxflash devsim transfer_bench -j 2 >/dev/null)
fi
kx=$build/app/kxflash
devsim=$build/tools/devsim/devsim
image=$(sed -n 's/^KX_IMAGE_PATH:INTERNAL=//p' "$build/CMakeCache.txt")
for f in "$kx" "$devsim" "$build/tools/bench/transfer_bench" "$image"; do
  [ -f "$f" ] || { echo "station-bench: missing $f" >&2; exit 2; }
done
tmp=$(mktemp -d "${TMPDIR:-/tmp}/kxflash-bench.XXXXXX")
sims=()
cleanup() {
  for p in "${sims[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "station-bench: $*" >&2; exit 1; }

# A paced simulated device on $tmp/NAME, reporting to $tmp/NAME.report when it is done.
start_device() {
  "$devsim" --link "$tmp/$1" --baud 38462 --image "$image" --report "$tmp/$1.report" >/dev/null &
  sims+=($!)
  for _ in $(seq 500); do [ -e "$tmp/$1" ] && return; sleep 0.01; done
  fail "the simulator for $1 did not start"
}
report() {
  for _ in $(seq 1000); do [ -f "$tmp/$1.report" ] && break; sleep 0.01; done
  sed -n "s/^$2=//p" "$tmp/$1.report"
}
device_seconds() { awk -v us="$(report "$1" transfer_us)" 'BEGIN { printf "%.3f", us / 1e6 }'; }
check_device() {
  [ "$(report "$1" image_matched)" = 1 ] && [ "$(report "$1" pusk_received)" = 1 ] ||
    fail "the device on $1 did not get the image and PUSK: $(cat "$tmp/$1.report")"
}
load() { cut -d' ' -f1-3 /proc/loadavg; }
now_us() { echo $(($(date +%s%N) / 1000)); }
# Runs kxflash with the given arguments under /usr/bin/time; sets wall, cpu, rss_kib, started.
timed_run() {
  started=$(now_us)
  /usr/bin/time -f "%e %U %S %M" -o "$tmp/time" "$kx" "$@" >"$tmp/out" 2>&1 ||
    { cat "$tmp/out" >&2; fail "kxflash $* failed"; }
  read -r wall user sys rss_kib <"$tmp/time"
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
}

echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)," \
  "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), Debian $(cat /etc/debian_version)"
echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC'); kxflash: $("$kx" --version | head -n 1)"
echo "Load average before: $(load)"

start_device one
timed_run --port "$tmp/one"
check_device one
one_wall=$wall one_cpu=$cpu one_rss=$rss_kib
one_device=$(device_seconds one)
startup_ms=$(awk -v v="$(report one first_vers_epoch_us)" -v s="$started" \
  'BEGIN { printf "%.1f", (v - s) / 1000 }')

"$build/tools/bench/transfer_bench" --paced --reference >"$tmp/ref" || { cat "$tmp/ref"; fail "the reference sender failed"; }
ref_device=$(sed -n 's/.*reference: .* device *\([0-9.]*\) s.*/\1/p' "$tmp/ref")
wire=$(sed -n 's/.*wire time \([0-9.]*\) s.*/\1/p' "$tmp/ref")
[ -n "$ref_device" ] && [ -n "$wire" ] || { cat "$tmp/ref"; fail "no reference figures"; }

# The median of 20 runs of a command from exec to exit, in ms.
median_ms() {
  for _ in $(seq 20); do
    s=$(now_us)
    "$@" >/dev/null
    echo $(($(now_us) - s))
  done | sort -n | sed -n 10p | awk '{ printf "%.1f", $1 / 1000 }'
}
version_ms=$(median_ms "$kx" --version)
true_ms=$(median_ms /bin/true)

for p in a b c; do start_device "$p"; done
timed_run --port "$tmp/a" --port "$tmp/b" --port "$tmp/c"
three=()
for p in a b c; do
  check_device "$p"
  three+=("$(device_seconds "$p")")
done
echo "Load average after: $(load)"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'; }
cat <<EOF

One port, paced at 38462 baud (the simulator's clock, first image byte to "PUSK"):
  station      $one_device s   station/reference $(ratio "$one_device" "$ref_device")   station/wire $(ratio "$one_device" "$wire")
  reference    $ref_device s   reference/wire $(ratio "$ref_device" "$wire")
  wire time    $wire s
The station's whole process (exec to exit): wall $one_wall s, CPU $one_cpu s (user + system), peak resident $((one_rss / 1024)).$(((one_rss % 1024) * 10 / 1024)) MiB
Start-up: exec to "VERS" read by the device $startup_ms ms; kxflash --version $version_ms ms (median of 20; /bin/true $true_ms ms, the machine's cost of a process)
Three ports at once: devices ${three[*]} s; the process: wall $wall s (one port: $one_wall s, ratio $(ratio "$wall" "$one_wall")), CPU $cpu s, peak resident $((rss_kib / 1024)).$(((rss_kib % 1024) * 10 / 1024)) MiB
EOF
