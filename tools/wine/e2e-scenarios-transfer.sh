# shellcheck shell=bash
# shellcheck disable=SC2154 # the paths, programs and texts are set by e2e.sh
# The Wine end-to-end scenarios of a transfer and its outcome, sourced by e2e.sh (which sets the
# paths and texts, and e2e-lib.sh the helpers): a whole image, a wrong answer, a silent or pulled
# device, a split or piecewise answer, another device, the unattended runs, and the figures.

scenario_success() {
  transfer_started success --baud "$baud" || return 1
  wd wait "$caption" "$t_success1" 180000 || return 1
  wd wait "$caption" "$t_success2" 1000 || return 1
  [ "$(state_of "$t_error")" != "visible=1 enabled=1" ] ||
    fail "the error message shows beside the success" || return 1
  ok_ends success || return 1
  stop_sim
  image_arrived || return 1
}

scenario_wrong-crc() {
  transfer_started wrong-crc --baud "$baud" --fault "$fault_wrong_crc" --block "$fault_block" || return 1
  failure_shown wrong-crc 60000 || return 1
  ok_ends wrong-crc || return 1
  stop_sim
  [ "$(report_value blocks_received)" = $((fault_block + 1)) ] ||
    fail "blocks sent after the wrong answer: $(report_value blocks_received) received" || return 1
  [ "$(report_value pusk_received)" != 1 ] || fail "\"PUSK\" sent after a wrong CRC" || return 1
}

# The device stops answering mid-way: the failure shows within 4 s of the last answer, which is
# when the progress bar last moved.
scenario_silent() {
  transfer_started silent --baud "$baud" --fault "$fault_silent" --block "$fault_block" || return 1
  wd wait "$caption" "$t_error" 60000 || return 1
  local line shown moved
  line=$(grep 'at_epoch_ms=' "$log" | tail -n 1)
  shown=$(echo "$line" | grep -o 'at_epoch_ms=[0-9]*' | cut -d= -f2)
  moved=$(echo "$line" | grep -o 'progress_moved_epoch_ms=[0-9]*' | cut -d= -f2)
  failure_shown silent 1000 || return 1
  ok_ends silent || return 1
  stop_sim
  [ -n "$shown" ] && [ -n "$moved" ] && [ "$moved" -gt 0 ] ||
    fail "the progress bar was never seen moving" || return 1
  local gap=$((shown - moved))
  note "failure shown $gap ms after the progress bar last moved"
  [ $gap -le 4000 ] || fail "failure shown $gap ms after the last answer (at most 4000)" || return 1
  [ "$(report_value pusk_received)" != 1 ] || fail "\"PUSK\" sent to a silent device" || return 1
}

# The answer to one block comes in two reads, 100 ms apart: they are collected into one answer,
# and the transfer goes on to its end.
scenario_split() {
  transfer_started split --baud "$baud" --fault "$fault_split" --block "$fault_block" || return 1
  wd wait "$caption" "$t_success1" 180000 || return 1
  [ "$(state_of "$t_error")" != "visible=1 enabled=1" ] ||
    fail "the error message shows beside the success" || return 1
  ok_ends split || return 1
  stop_sim
  image_arrived || return 1
}

# The adapter is pulled mid-way: failure shown, the window still answers, "OK" ends it.
scenario_unplug() {
  transfer_started unplug --baud "$baud" --fault "$fault_unplug" --block "$fault_block" || return 1
  failure_shown unplug 60000 || return 1
  ok_ends unplug || return 1
  stop_sim
  [ "$(report_value unplugged)" = 1 ] || fail "the simulator never pulled the port" || return 1
}

scenario_other-device() {
  start_sim other-device --fault "$fault_other" || return 1
  start_app other-device
  wd wait "$caption" "$t_choose" 30000 || return 1
  wd choose "$caption" "$port" || return 1
  wd wait "$caption" "$t_notfound" 5000 || return 1
  sleep 1 # nothing may enable the button later
  [ "$(state_of "$t_write")" = "visible=1 enabled=0" ] ||
    fail "\"$t_write\" is not disabled on a port without the device" || return 1
  if wd click "$caption" "$t_write"; then fail "\"$t_write\" could be clicked" || return 1; fi
  shot other-device
  closed_with_zero || return 1
  stop_sim
}

# Every answer, the identification's included, reaches the tool in random pieces up to 20 ms
# apart (unpaced, a fixed seed): the device is found and the whole image arrives, nothing after it.
scenario_pieces() {
  transfer_started pieces --delivery random:20 --seed 13 || return 1
  wd wait "$caption" "$t_success1" 180000 || return 1
  ok_ends pieces || return 1
  stop_sim
  image_arrived || return 1
  [ "$(report_value unexpected_bytes)" = 0 ] ||
    fail "$(report_value unexpected_bytes) bytes after the final answer" || return 1
}

# Unattended runs: no one touches the window; the exit code and the update log tell the outcome.
# The device leaves the port unread for a while after its final answer, and the program ends
# right after "PUSK": it must arrive all the same.
auto_log_ends() { # auto_log_ends NAME CODE
  local file=$work/$1.log
  [ -f "$file" ] || fail "no update log" || return 1
  sed 's/^/  log: /' "$file" >>"$log"
  tail -n 1 "$file" | tr -d '\r' | grep -Eq "^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]+[+-][0-9]{2}:[0-9]{2} exit code $2\$" ||
    fail "the log does not end with exit code $2" || return 1
}

scenario_auto-success() {
  rm -f "$work/auto-success.log"
  start_sim auto-success --baud "$baud" --final-read-pause 300 || return 1
  start_app auto-success /auto="$port" /log=auto-success.log
  # The result shows only for a moment: the window is watched until it opens, then the exit.
  wd wait "$caption" "$t_offer" 30000 || return 1
  app_exit 240
  [ "$app_rc" = 0 ] || fail "exit code $app_rc after an unattended update" || return 1
  auto_log_ends auto-success 0 || return 1
  grep -q "result: updated, $image_blocks of $image_blocks blocks" "$work/auto-success.log" ||
    fail "the log has no successful result" || return 1
  # The device reads "PUSK" only after its pause, and ends by itself once it has.
  sim_ends
  stop_sim
  image_arrived || return 1
}

scenario_auto-failure() {
  rm -f "$work/auto-failure.log"
  start_sim auto-failure --baud "$baud" --fault "$fault_wrong_crc" --block "$fault_block" || return 1
  start_app auto-failure /auto="$port" /log=auto-failure.log
  wd wait "$caption" "$t_offer" 30000 || return 1
  app_exit 120
  [ "$app_rc" = 1 ] || fail "exit code $app_rc after a failed unattended update" || return 1
  auto_log_ends auto-failure 1 || return 1
  tr -d '\r' <"$work/auto-failure.log" |
    grep -Eq "result: transfer failed, .*; after block $fault_block: received [0-9A-F]{2} [0-9A-F]{2}, expected [0-9A-F]{2} [0-9A-F]{2}\$" ||
    fail "the log does not say which answer was refused" || return 1
  stop_sim
  [ "$(report_value pusk_received)" != 1 ] || fail "\"PUSK\" sent after a wrong CRC" || return 1
}

# A log path that names the device's own port (a batch file writing /log=%1.log): the run ends
# with code 3 before anything starts, and the device receives no byte, not even "VERS".
scenario_auto-log-device() {
  rm -f "$work/$port.log"
  start_sim auto-log-device --baud "$baud" || return 1
  start_app auto-log-device /auto="$port" /log="$port.log"
  app_exit 60
  [ "$app_rc" = 3 ] || fail "exit code $app_rc with the log on $port.log" || return 1
  sleep 0.5  # whatever reached the port is read by now
  stop_sim
  [ "$(report_value vers_count)" = 0 ] || fail "the device was asked \"VERS\"" || return 1
  [ "$(report_value bytes_received)" = 0 ] ||
    fail "the device received $(report_value bytes_received) bytes" || return 1
  [ ! -e "$work/$port.log" ] || fail "a file $port.log was written" || return 1
}

# Figures, not a check: start-up to the window with its port list, the transfer from the click
# to the success message (unpaced, then at the line's pace against the wire time) and the
# peak resident size of the program. Measured from outside, so Wine's own process start and
# wdrive's polling are included.
bench_run() { # bench_run NAME BAUD
  local name=$1 b=$2 t0 t1 t2 t3 hwm=0 pid v
  if [ "$b" = 0 ]; then start_sim "$name" || return 1; else start_sim "$name" --baud "$b" || return 1; fi
  t0=$(date +%s%N)
  start_app "$name"
  wd wait "$caption" "$t_choose" 30000 || return 1
  t1=$(date +%s%N)
  identified || return 1
  t2=$(date +%s%N)
  write_started || return 1
  wd wait "$caption" "$t_success1" 300000 || return 1
  t3=$(date +%s%N)
  # The transfer on wdrive's own clock, from the posted click to the success text seen (the
  # start of the wdrive processes themselves left out).
  local clicked seen
  clicked=$(grep -o 'clicked .* at_epoch_ms=[0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*$')
  seen=$(grep -o 'at_epoch_ms=[0-9]*' "$log" | tail -n 1 | cut -d= -f2)
  if [ -n "$clicked" ] && [ -n "$seen" ]; then
    t2=$((clicked * 1000000))
    t3=$((seen * 1000000))
  fi
  for pid in $(pgrep -f 'kxflash\.exe'); do
    v=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status" 2>/dev/null)
    [ -n "$v" ] && [ "$v" -gt "$hwm" ] && hwm=$v
  done
  ok_ends "$name" || return 1
  stop_sim
  image_arrived || return 1
  local transfer_ms=$(((t3 - t2) / 1000000))
  local line="$name: start-up $(((t1 - t0) / 1000000)) ms, transfer $transfer_ms ms"
  if [ "$b" != 0 ]; then
    # Ten bits a byte: "VERS", the answer, the image, a two-byte answer to every block but the
    # last, the final answer.
    local bytes=$((4 + 22 + image_size + (image_blocks - 1) * 2 + 4 + 4))
    line="$line, wire time $((bytes * 10 * 1000 / b)) ms, ratio $(awk -v t="$transfer_ms" -v w="$((bytes * 10 * 1000 / b))" 'BEGIN { printf "%.3f", t / w }')"
  fi
  echo "  $line, peak resident ${hwm} KiB"
}

scenario_bench() {
  bench_run bench-unpaced 0 || return 1
  bench_run bench-paced "$baud" || return 1
}
