# shellcheck shell=bash
# shellcheck disable=SC2154 # the paths, programs and texts are set by e2e.sh
# The Wine end-to-end scenarios under load, sourced by e2e.sh (which sets the paths and texts,
# and e2e-lib.sh the helpers): many starts with every core busy, copies of the tool updating
# devices on three ports at once, and updates with answers in random pieces on busy cores.
# A crash anywhere leaves the debugger's backtrace in crashes.log (set up by e2e.sh).

# --- busy cores --------------------------------------------------------------------------------

# Two busy loops per core, as a technician's laptop with a scan and a browser running. Their
# ids go to `pids` too, so that the script's exit ends them whatever happens.
busy_pids=()
load_cores() {
  local i n
  n=$((2 * $(nproc)))
  for i in $(seq "$n"); do
    sh -c 'while :; do :; done' &
    busy_pids+=("$!")
    pids+=("$!")
  done
  note "$n busy loops started: ${busy_pids[*]}"
}

unload_cores() {
  local p
  for p in "${busy_pids[@]}"; do
    kill "$p" 2>/dev/null
    wait "$p" 2>/dev/null
  done
  [ ${#busy_pids[@]} -eq 0 ] || note "busy loops ended"
  busy_pids=()
}

# Runs the scenario body NAME with the cores loaded; the loops end when it returns.
loaded() { # loaded FUNCTION [arguments...]
  local rc
  load_cores
  "$@"
  rc=$?
  unload_cores
  return $rc
}

# Debugger reports so far (one "Unhandled ..." line per crash).
crash_count() {
  if [ -f "$logs/crashes.log" ]; then
    grep -c '^Unhandled ' "$logs/crashes.log"
  else
    echo 0
  fi
}

# --- stress scenarios --------------------------------------------------------------------------

# Unattended starts on a port with no device, eight ports declared that cannot be opened (so
# that every trial open of the port list ends at once), with every core busy: each start ends
# by itself with exit code 2 (no device), none crashes. KX_STRESS_STARTS sets how many
# (default 40); every start is made, and the counts are printed.
stress_starts() {
  local i n=${KX_STRESS_STARTS:-40} rc crashes0 crashes ok=0 crashed=0 other=0 t0 slowest=0 ms
  for i in $(seq "$n"); do
    crashes0=$(crash_count)
    t0=$(date +%s%3N)
    start_app "startup-stress-$i" /auto=COM20
    app_exit 60
    rc=$app_rc
    ms=$(($(date +%s%3N) - t0))
    [ $ms -gt $slowest ] && slowest=$ms
    crashes=$(($(crash_count) - crashes0))
    if [ "$crashes" -gt 0 ]; then
      crashed=$((crashed + 1))
      note "start $i: crashed (exit code $rc); wine log: startup-stress-$i.wine.log"
    elif [ "$rc" = 2 ]; then
      ok=$((ok + 1))
      rm -f "$logs/startup-stress-$i.wine.log"
    else
      other=$((other + 1))
      note "start $i: exit code $rc, not 2; wine log: startup-stress-$i.wine.log"
      if [ "$rc" = 124 ]; then
        kill "$app_pid" 2>/dev/null
        wait "$app_pid" 2>/dev/null
        app_pid=
      fi
    fi
  done
  note "$n loaded starts: $ok ended with exit code 2, $crashed crashed, $other ended otherwise;" \
    "slowest $slowest ms"
  echo "  $n loaded starts ($((2 * $(nproc))) busy loops on $(nproc) cores): $ok exit code 2," \
    "$crashed crashed, $other otherwise; slowest $slowest ms"
  [ $ok = "$n" ]
}

stress_ports=(COM20 COM21 COM22 COM23 COM24 COM25 COM26 COM27)

scenario_startup-stress() {
  local p spec=()
  for p in "${stress_ports[@]}"; do spec+=("$p=$work/absent/${p,,}"); done
  declare_ports "${spec[@]}" || fail "the ports are not listed" || return 1
  local rc=0
  loaded stress_starts || rc=1
  # Taking the ports out is clean-up, not what the scenario checks: a slow server is noted.
  undeclare_ports "${stress_ports[@]}" || note "the ports are still listed after the scenario"
  return $rc
}

# Three copies of the tool started together, each unattended on its own port with its own
# simulated device at the line's pace: each ends with exit code 0 and each device holds the
# whole image, unchanged.
copies_ports=(COM5 COM6 COM7)

scenario_copies() {
  declare_ports "COM6=$work/com6" "COM7=$work/com7" ||
    fail "COM6 and COM7 are not listed" || return 1
  local p rc=0
  local -A sim_of app_of
  for p in "${copies_ports[@]}"; do
    start_sim_on "$p" "copies-${p,,}" --baud "$baud" || rc=1
    sim_of[$p]=$started_pid
  done
  if [ $rc = 0 ]; then
    for p in "${copies_ports[@]}"; do
      rm -f "$work/copies-${p,,}.log"
      start_app_bg "copies-${p,,}" /auto="$p" "/log=copies-${p,,}.log"
      app_of[$p]=$started_pid
    done
    for p in "${copies_ports[@]}"; do
      pid_exit "${app_of[$p]}" 240
      if [ "$pid_rc" = 0 ]; then
        note "$p: exit code 0"
      else
        fail "$p: exit code $pid_rc" || rc=1
      fi
      [ -f "$work/copies-${p,,}.log" ] && sed "s/^/  $p log: /" "$work/copies-${p,,}.log" >>"$log"
    done
  fi
  for p in "${copies_ports[@]}"; do
    [ -n "${sim_of[$p]:-}" ] || continue
    sim_ends "${sim_of[$p]}"
    stop_sim_pid "${sim_of[$p]}"
    report=$work/copies-${p,,}.report
    [ -f "$report" ] && sed "s/^/  $p report: /" "$report" >>"$log"
    image_arrived || { note "$p: the device does not hold the image"; rc=1; }
  done
  # Taking the ports out is clean-up, not what the scenario checks: a slow server is noted.
  undeclare_ports COM6 COM7 || note "COM6 and COM7 are still listed after the scenario"
  return $rc
}

# For a failed unattended update: how long before the tool's result line the device last read a
# byte and last finished an answer (a tool that judges silence while an answer waits for it shows
# as a short gap after the answer).
note_failure_timing() { # note_failure_timing UPDATE_LOG
  local at failed read answered
  at=$(grep -o '^[^ ]* result: transfer failed' "$1" | cut -d' ' -f1)
  [ -n "$at" ] || return 0
  failed=$(date -d "$at" +%s%3N) || return 0
  read=$(report_value last_read_epoch_ms)
  answered=$(report_value last_answered_epoch_ms)
  [ -n "$read" ] && [ -n "$answered" ] || return 0
  note "the tool reported the failure $((failed - answered)) ms after the device's last answer" \
    "and $((failed - read)) ms after the device last read a byte; in the quiet before it, at most" \
    "$(report_value unread_when_quiet) bytes waited unread in the tool's input queue" \
    "($(report_value quiet_with_empty_queue) quiet seconds with the queue empty); the last answer" \
    "came in pieces: $(report_value last_answer_pieces)"
}

# Unattended updates with every answer in random pieces up to 20 ms apart (unpaced), three
# seeds, with every core busy: all three succeed and each device holds the image.
pieces_runs() {
  local seed rc=0
  for seed in 21 22 23; do
    rm -f "$work/pieces-loaded-$seed.log"
    start_sim "pieces-loaded-$seed" --delivery random:20 --seed "$seed" || return 1
    start_app "pieces-loaded-$seed" /auto="$port" "/log=pieces-loaded-$seed.log"
    app_exit 300
    [ -f "$work/pieces-loaded-$seed.log" ] &&
      sed "s/^/  log $seed: /" "$work/pieces-loaded-$seed.log" >>"$log"
    if [ "$app_rc" = 0 ]; then
      note "seed $seed: exit code 0"
    else
      fail "seed $seed: exit code $app_rc" || rc=1
      if [ "$app_rc" = 124 ]; then
        kill "$app_pid" 2>/dev/null
        wait "$app_pid" 2>/dev/null
        app_pid=
      fi
    fi
    stop_sim
    [ "$app_rc" = 0 ] || note_failure_timing "$work/pieces-loaded-$seed.log"
    image_arrived || rc=1
  done
  return $rc
}

scenario_pieces-loaded() {
  loaded pieces_runs
}

# --- figures (tools/bench/wine_bench.sh) -------------------------------------------------------

# Figures, not a check: the paced update by the tool (unattended) and by the plainest Win32
# sender (one write per block, blocking reads), each against a fresh simulator at the line's
# pace, idle and with every core busy, side by side in one run. The time is the device's own,
# from the first image byte to "PUSK", the same for both senders; the wire time is that of the
# image and the answers. KX_BENCH_ROUNDS sets the rounds (default 2).
wire_ms() { echo $(((130048 + 507 * 2 + 4) * 10 * 1000 / baud)); }

figure_run() { # figure_run NAME tool|reference|events: figure_ms is the device's time, figure_turn
  # the sender's turn (an answer's last byte to the next block's first, median/90th percentile)
  local name=$1 us sender_args=()
  start_sim "$name" --baud "$baud" || return 1
  if [ "$2" = tool ]; then
    start_app "$name" /auto="$port"
  else
    [ "$2" = events ] && sender_args=(--events)
    (cd "$work" &&
      LD_PRELOAD="$shim" exec "$kx_wine" "$ref_sender" "$port" "$image_win" "${sender_args[@]}") \
      >"$logs/$name.wine.log" 2>&1 &
    app_pid=$!
    pids+=("$app_pid")
  fi
  app_exit 300
  if [ "$app_rc" != 0 ]; then
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
    app_pid=
    stop_sim
    fail "$name: exit code $app_rc"
    return 1
  fi
  sim_ends
  stop_sim
  image_arrived || return 1
  us=$(report_value transfer_us)
  [ -n "$us" ] && [ "$us" -gt 0 ] || fail "$name: no transfer time in the report" || return 1
  figure_ms=$((us / 1000))
  figure_turn="$(report_value turnaround_median_us)/$(report_value turnaround_p90_us) us"
}

# One run of each sender (the reference also waiting for port events, as the tool does); a
# failed run is noted and counted (figure_failed), the rest go on.
figure_failed=0
figure_round() { # figure_round ROUND LOAD
  local tool='' ref='' ev='' w turns=''
  w=$(wire_ms)
  figure_run "figure-$2-tool-$1" tool && tool=$figure_ms && turns="tool $figure_turn"
  figure_run "figure-$2-reference-$1" reference && ref=$figure_ms &&
    turns="$turns, reference $figure_turn"
  figure_run "figure-$2-events-$1" events && ev=$figure_ms && turns="$turns, with events $figure_turn"
  if [ -z "$tool" ] || [ -z "$ref" ] || [ -z "$ev" ]; then
    figure_failed=$((figure_failed + 1))
    echo "  round $1, $2: tool ${tool:-failed} ms, reference ${ref:-failed} ms," \
      "reference with port events ${ev:-failed} ms (see $log)"
    return 0
  fi
  echo "  round $1, $2: tool $tool ms ($(ratio "$tool" "$w") of the wire time)," \
    "reference $ref ms ($(ratio "$ref" "$w")), tool/reference $(ratio "$tool" "$ref");" \
    "reference with port events $ev ms ($(ratio "$ev" "$w")), tool/it $(ratio "$tool" "$ev");" \
    "load average $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "    sender's turn per block (median/90th percentile): $turns"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'; }

scenario_figures() {
  [ -n "$image" ] || fail "no image to send (KX_IMAGE)" || return 1
  image_win="Z:${image//\//\\}"
  echo "  wire time of the image and the answers at $baud baud: $(wire_ms) ms;" \
    "$(nproc) cores ($(lscpu | sed -n 's/^Model name: *//p' | head -n 1)), $("$kx_wine" --version)"
  local r
  figure_failed=0
  for r in $(seq "${KX_BENCH_ROUNDS:-2}"); do
    figure_round "$r" idle
    loaded figure_round "$r" loaded
  done
  [ $figure_failed = 0 ] || fail "$figure_failed round(s) with a failed run" || return 1
}
