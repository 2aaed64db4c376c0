#!/usr/bin/env bash
# The Linux station end to end: the real kxflash against the device simulator on
# pseudo-terminals, each scenario bounded in time, everything it started ended and removed.
#
#   bash tools/station/e2e.sh [--kxflash PATH] [--devsim PATH] [SCENARIO...]
#
# Scenarios (default: all): success wrong-crc silence pieces unplug three busy denied sigint
# sigint-line bad-line modem-manager summary-lost. Each prints PASS or FAIL; the script exits non-zero when
# any fails.
#
# KX_STATION_RUNNER is put before kxflash on every run, e.g. an arm64 build under qemu-user:
#   KX_STATION_RUNNER="qemu-aarch64" \
#     bash tools/station/e2e.sh --kxflash build/arm64/app/kxflash success wrong-crc
# The simulator is the native one. KX_STATION_BAUD paces the scenarios that must still be
# running when something happens to them (busy, sigint; default 115200).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
kxflash=$root/build/native/app/kxflash
devsim=$root/build/native/tools/devsim/devsim
while [ $# -gt 0 ]; do
  case "$1" in
    --kxflash) kxflash=$2; shift 2 ;;
    --devsim) devsim=$2; shift 2 ;;
    *) break ;;
  esac
done
read -r -a runner <<<"${KX_STATION_RUNNER:-}"
baud=${KX_STATION_BAUD:-115200}
all=(success wrong-crc silence pieces unplug three busy denied sigint sigint-line bad-line
  modem-manager summary-lost)
scenarios=("$@")
[ ${#scenarios[@]} -eq 0 ] && scenarios=("${all[@]}")
for s in "${scenarios[@]}"; do
  case " ${all[*]} " in *" $s "*) ;; *) echo "unknown scenario: $s (known: ${all[*]})" >&2; exit 2 ;; esac
done
for p in "$kxflash" "$devsim"; do
  [ -x "$p" ] || { echo "not built: $p" >&2; exit 2; }
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/kx-station-e2e.XXXXXX")
chmod 755 "$tmp"
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

failures=0
problem=""
fail() { problem="${problem:+$problem; }$*"; }

# start_sim NAME [devsim options]: a simulated device behind $tmp/NAME; its pty in sim_port[NAME].
declare -A sim_pid sim_port
start_sim() {
  local name=$1
  shift
  rm -f "$tmp/$name.report"
  "$devsim" --link "$tmp/$name" --report "$tmp/$name.report" --linger 100 "$@" >"$tmp/$name.sim" 2>&1 &
  sim_pid[$name]=$!
  pids+=($!)
  local i
  for i in $(seq 100); do
    [ -L "$tmp/$name" ] && grep -q '^port=' "$tmp/$name.sim" && break
    sleep 0.05
  done
  sim_port[$name]=$(sed -n 's/^port=//p' "$tmp/$name.sim" | head -n1)
  [ -n "${sim_port[$name]}" ] || fail "the simulator $name did not start"
}
# stop_sim NAME: ends it (if it has not ended by itself) and waits for its report.
stop_sim() {
  kill "${sim_pid[$1]}" 2>/dev/null
  wait "${sim_pid[$1]}" 2>/dev/null
}
# report NAME KEY: a value of the simulator's report.
report() { sed -n "s/^$2=//p" "$tmp/$1.report" 2>/dev/null; }

# kx NAME SECONDS ARGS...: runs kxflash with its output in $tmp/NAME.out and .err; sets code.
kx() {
  local name=$1 seconds=$2
  shift 2
  timeout -k 5 "$seconds" "${runner[@]}" "$kxflash" "$@" >"$tmp/$name.out" 2>"$tmp/$name.err"
  code=$?
}
expect_code() { [ "$code" = "$1" ] || fail "exit code $code, expected $1"; }
# has FILE PATTERN: the file holds a line matching the extended regular expression.
has() { grep -Eq -- "$2" "$1" || fail "$(basename "$1") lacks /$2/"; }
# summary_field FILE PORT FIELD: a field of the port's summary line (the lines are read once:
# python3 is slow to start on a busy machine).
summary_field() {
  [ "$1.tsv" -nt "$1" ] || python3 -c '
import json, sys
for line in open(sys.argv[1], encoding="ascii"):
    r = json.loads(line)
    print("\t".join(str(r.get(k, "")) for k in ("port", "result", "device", "blocks", "reason")))
' "$1" >"$1.tsv" || fail "the summary does not parse"
  local col
  case "$3" in port) col=1 ;; result) col=2 ;; device) col=3 ;; blocks) col=4 ;; reason) col=5 ;; esac
  awk -F '\t' -v p="$2" -v c="$col" '$1 == p { print $c }' "$1.tsv"
}

# The outcome of one simulated device: the code, the summary's result and the words of its
# reason, and whether the device saw the whole image and "PUSK".
one_device() {
  local name=$1 want_code=$2 want_result=$3 want_reason=$4 want_pusk=$5
  shift 5
  start_sim "$name" "$@"
  kx "$name" 60 --port "$tmp/$name" --summary "$tmp/$name.json" --log "$tmp/$name.log"
  stop_sim "$name"
  expect_code "$want_code"
  [ "$(wc -l <"$tmp/$name.json")" = 1 ] || fail "not one summary line"
  [ "$(summary_field "$tmp/$name.json" "$tmp/$name" result)" = "$want_result" ] ||
    fail "summary result $(summary_field "$tmp/$name.json" "$tmp/$name" result)"
  [ "$(summary_field "$tmp/$name.json" "$tmp/$name" device)" = "${sim_port[$name]}" ] ||
    fail "the summary does not name the device behind the link"
  summary_field "$tmp/$name.json" "$tmp/$name" reason | grep -Eq -- "$want_reason" ||
    fail "reason '$(summary_field "$tmp/$name.json" "$tmp/$name" reason)' lacks /$want_reason/"
  [ "$(report "$name" pusk_received)" = "$want_pusk" ] || fail "PUSK received: $(report "$name" pusk_received)"
  # Not a terminal: one line per step, as in the log, and no control character.
  has "$tmp/$name.out" "^$tmp/$name [0-9T:.+-]+ exit code $want_code\$"
  ! LC_ALL=C grep -qP '[\x00-\x09\x0b-\x1f\x7f]' "$tmp/$name.out" ||
    fail "control characters without a terminal"
  has "$tmp/$name.log" "exit code $want_code"
}

scenario_success() {
  one_device success 0 updated '^$' 1
  [ "$(report success image_matched)" = 1 ] || fail "the device did not get the image"
}
scenario_wrong_crc() { one_device wrongcrc 1 "transfer failed" "after block 20: received" 0 --fault wrong-crc --block 20; }
scenario_silence() { one_device silence 1 "transfer failed" "no byte for 3 s after block 5" 0 --fault silent-block --block 5; }
scenario_pieces() {
  one_device pieces 0 updated '^$' 1 --delivery random:15 --seed 7
  [ "$(report pieces image_matched)" = 1 ] || fail "the device did not get the image"
}
scenario_unplug() { one_device unplug 1 "transfer failed" "after block 100" 0 --fault unplug --block 100; }

# Three ports at once: one summary line per device, and JSON lines on standard output that
# parse, each with its port, every device from start to result.
scenario_three() {
  local n args=()
  for n in a b c; do
    start_sim "three$n"
    args+=(--port "$tmp/three$n")
  done
  kx three 90 "${args[@]}" --summary "$tmp/three.json" --json
  for n in a b c; do stop_sim "three$n"; done
  expect_code 0
  python3 - "$tmp/three.json" "$tmp/three.out" "$tmp"/threea "$tmp"/threeb "$tmp"/threec <<'EOF' || fail "$(cat "$tmp/py.err" 2>/dev/null)"
import json, sys
summary, events, ports = sys.argv[1], sys.argv[2], sys.argv[3:]
records = [json.loads(l) for l in open(summary, encoding="ascii")]
assert sorted(r["port"] for r in records) == sorted(ports), "summary ports %r" % records
assert all(r["result"] == "updated" and r["blocks"] == 508 for r in records), records
assert all(r.get("device", "").startswith("/dev/pts/") for r in records), "no device: %r" % records
seen = {p: [] for p in ports}
for line in open(events, encoding="ascii"):
    e = json.loads(line)
    seen[e["port"]].append(e)
for p, es in seen.items():
    kinds = [e["event"] for e in es]
    assert kinds[0] == "start" and kinds[1] == "identified" and kinds[-1] == "result", (p, kinds[:3])
    assert es[1]["answer"] == "MAGNETOFLUX VKD7 9.0\r\n", es[1]
    percents = [e["percent"] for e in es if e["event"] == "progress"]
    assert percents[-1] == 100 and all(b - a <= 5 for a, b in zip([0] + percents, percents)), percents
    assert es[-1]["result"] == "updated" and es[-1]["exit_code"] == 0, es[-1]
EOF
  for n in a b c; do [ "$(report "three$n" image_matched)" = 1 ] || fail "device $n lacks the image"; done
}

# A second run on a port in use: refused at once with code 2, and the first run still succeeds.
scenario_busy() {
  start_sim busy --baud "$baud"
  timeout -k 5 90 "${runner[@]}" "$kxflash" --port "$tmp/busy" --summary "$tmp/busy.json" \
    >"$tmp/busy-first.out" 2>&1 &
  local first=$!
  pids+=($first)
  local i
  for i in $(seq 100); do grep -q "write clicked" "$tmp/busy-first.out" && break; sleep 0.05; done
  local began=$SECONDS
  kx busy 10 --port "$tmp/busy"
  local took=$((SECONDS - began))
  expect_code 2
  [ "$took" -le 2 ] || fail "the refusal took $took s"
  has "$tmp/busy.out" "port busy: ${sim_port[busy]} is in use by another program"
  wait "$first"
  local first_code=$?
  stop_sim busy
  [ "$first_code" = 0 ] || fail "the first run ended with $first_code"
  [ "$(report busy image_matched)" = 1 ] || fail "the first run's device lacks the image"
  [ "$(report busy vers_count)" = 1 ] || fail "the device was asked $(report busy vers_count) times"
}

# An unprivileged user on a port it may not open: code 2 and the way to the permission.
scenario_denied() {
  if [ "$(id -u)" != 0 ]; then
    echo "    (skipped: needs root to run as another user)"
    return
  fi
  id kxstation >/dev/null 2>&1 || useradd --system --no-create-home kxstation || {
    fail "no user"
    return
  }
  start_sim denied
  timeout -k 5 20 runuser -u kxstation -- "${runner[@]}" "$kxflash" --port "${sim_port[denied]}" \
    >"$tmp/denied.out" 2>"$tmp/denied.err"
  code=$?
  stop_sim denied
  expect_code 2
  has "$tmp/denied.out" "permission denied: ${sim_port[denied]}"
  has "$tmp/denied.out" "dialout"
  has "$tmp/denied.out" "udev rule"
  [ "$(report denied vers_count)" = 0 ] || fail "the device was asked"
}

# interrupt NAME SIGNAL PORTS...: a run on paced devices stopped part-way with SIGNAL to the
# first process only; then every record says interrupted, the code is 130, and no device got
# a byte beyond the block it was sent before the stop.
interrupt() {
  local name=$1 sig=$2 n args=()
  shift 2
  for n in "$@"; do
    start_sim "$name$n" --baud "$baud"
    args+=(--port "$tmp/$name$n")
  done
  timeout -k 5 90 "${runner[@]}" "$kxflash" "${args[@]}" --summary "$tmp/$name.json" --json \
    >"$tmp/$name.out" 2>"$tmp/$name.err" &
  local run=$!
  pids+=($run)
  local i
  for i in $(seq 200); do
    [ "$(grep -c '"percent":5}' "$tmp/$name.out")" -ge $# ] && break
    sleep 0.05
  done
  kill "-$sig" "$run"
  local began=$SECONDS
  wait "$run"
  code=$?
  expect_code 130
  [ $((SECONDS - began)) -le 3 ] || fail "the run took $((SECONDS - began)) s to end"
  sleep 0.5
  for n in "$@"; do
    stop_sim "$name$n"
    local port=$tmp/$name$n blocks received
    [ "$(summary_field "$tmp/$name.json" "$port" result)" = interrupted ] ||
      fail "$n: summary result '$(summary_field "$tmp/$name.json" "$port" result)'"
    blocks=$(summary_field "$tmp/$name.json" "$port" blocks)
    received=$(report "$name$n" bytes_received)
    [ -n "$blocks" ] && [ "$blocks" -gt 0 ] || fail "$n: no blocks recorded"
    [ -n "$received" ] && [ "$received" -le $(((blocks + 1) * 256)) ] ||
      fail "$n: the device received $received bytes after $blocks blocks acknowledged"
    [ "$(report "$name$n" pusk_received)" = 0 ] || fail "$n: PUSK after the stop"
  done
  [ "$(wc -l <"$tmp/$name.json")" = $# ] || fail "not one summary line per device"
  grep -q '"event":"result".*"result":"interrupted"' "$tmp/$name.out" || fail "no interrupted result event"
}
scenario_sigint() { interrupt sigint INT 1; }
scenario_sigint_line() { interrupt sigline TERM a b c; }

# A bad command line: code 3 and one line on standard error, and no port opened. The log and
# the summary may not be one file, nor a port's own log (named after its device) the summary.
scenario_bad_line() {
  start_sim badline
  local args tag=${sim_port[badline]#/dev/}
  for args in "--port $tmp/badline --bogus" "--port $tmp/badline --port ${sim_port[badline]}" \
    "--port $tmp/badline --log /dev/null" "--port" \
    "--port $tmp/badline --log $tmp/bad.log --summary $tmp/bad.log" \
    "--port $tmp/none --port $tmp/badline --log $tmp/bad.log --summary $tmp/bad-${tag//\//-}.log"; do
    # shellcheck disable=SC2086
    kx badline 10 $args
    expect_code 3
    [ "$(wc -l <"$tmp/badline.err")" = 1 ] || fail "$args: $(wc -l <"$tmp/badline.err") lines on stderr"
    [ -s "$tmp/badline.out" ] && fail "$args: standard output written"
    case $args in *--summary*) has "$tmp/badline.err" "are the same file" ;; esac
  done
  stop_sim badline
  [ "$(report badline vers_count)" = 0 ] || fail "the device was asked"
}

# ModemManager running (a process of that name): said once, with the udev rule's setting.
scenario_modem_manager() {
  cp "$(command -v sleep)" "$tmp/ModemManager"
  "$tmp/ModemManager" 30 &
  local mm=$!
  pids+=($mm)
  kx mm 10 --port "$tmp/nothing-here"
  kill "$mm"
  expect_code 2
  has "$tmp/mm.out" 'ModemManager is running'
  has "$tmp/mm.out" 'ID_MM_DEVICE_IGNORE'
  [ "$(grep -c ModemManager "$tmp/mm.out")" = 1 ] || fail "said more than once"
}

# A summary another program keeps locked (this shell, on descriptor 9): the device is updated,
# its line is given up after 10 s, and the code (4) and the log say the record is missing.
scenario_summary_lost() {
  start_sim lost
  exec 9>>"$tmp/lost.json"
  flock 9
  kx lost 60 --port "$tmp/lost" --summary "$tmp/lost.json" --log "$tmp/lost.log"
  exec 9>&-
  stop_sim lost
  expect_code 4
  [ "$(report lost image_matched)" = 1 ] || fail "the device did not get the image"
  has "$tmp/lost.log" "the summary line is lost: the file stayed locked by another program for 10 s"
  has "$tmp/lost.log" "exit code 4"
  [ -s "$tmp/lost.json" ] && fail "a line was written"
}

for s in "${scenarios[@]}"; do
  problem=""
  began=$SECONDS
  "scenario_${s//-/_}"
  if [ -z "$problem" ]; then
    echo "PASS $s ($((SECONDS - began)) s)"
  else
    echo "FAIL $s: $problem"
    for f in "$tmp"/*.out "$tmp"/*.err; do
      [ -s "$f" ] && { echo "--- $(basename "$f")"; tail -n 5 "$f"; }
    done
    rm -f "$tmp"/*.out "$tmp"/*.err
    failures=$((failures + 1))
  fi
done
[ "$failures" = 0 ]
