# shellcheck shell=bash
# shellcheck disable=SC2154 # the paths, programs and texts are set by e2e.sh
# A production line under Wine: several simulated devices, one on each declared port, updated by
# one command ("/auto=COM5,COM6,COM7"), and the run's summary file. Sourced by e2e.sh after
# e2e-lib.sh; functions only.

# Declares the ports in the prefix, each as the path $work/comN, and restarts the server so that
# they are listed. Only the line scenarios do, when they first run: the other scenarios keep one
# port (every declared port is one more trial open at each start of an attended tool).
line_declare() { # line_declare PORT...
  local p added=0
  for p in "$@"; do
    case " ${line_ports[*]} " in *" $p "*) continue ;; esac
    "$kx_wine" reg add 'HKLM\Software\Wine\Ports' /v "$p" /t REG_SZ \
      /d "$work/$(echo "$p" | tr '[:upper:]' '[:lower:]')" /f >>"$log" 2>&1
    line_ports+=("$p")
    added=1
  done
  [ $added = 0 ] || restart_server "$log" || fail "the ports are not listed after the restart"
}

line_sim_pids=()
line_sim_ports=()

# The simulator of PORT for the scenario NAME, at the line's pace, with the devsim options that
# follow; its report is $work/NAME-PORT.report.
line_sim() { # line_sim NAME PORT [devsim options...]
  local name=$1 p=$2
  shift 2
  start_sim_on "$p" "$name-$p" --baud "$baud" "$@"
  local rc=$?
  line_sim_pids+=("$started_pid")
  line_sim_ports+=("$p")
  return $rc
}

# Every simulator of the scenario NAME ends (a device that received "PUSK" ends by itself) and
# its report goes into the log.
line_sims_stop() { # line_sims_stop NAME
  local i
  for i in "${!line_sim_pids[@]}"; do
    sim_ends "${line_sim_pids[$i]}"
    stop_sim_pid "${line_sim_pids[$i]}"
    sed "s/^/  report ${line_sim_ports[$i]}: /" "$work/$1-${line_sim_ports[$i]}.report" >>"$log" 2>/dev/null
  done
  line_sim_pids=()
  line_sim_ports=()
}

# The device on PORT received the whole image and "PUSK" (or, with "failed", not "PUSK").
line_device() { # line_device NAME PORT [failed]
  # shellcheck disable=SC2034 # read by report_value and image_arrived
  report=$work/$1-$2.report
  if [ "${3:-}" = failed ]; then
    [ "$(report_value pusk_received)" != 1 ] || fail "$2: \"PUSK\" after a failed transfer" || return 1
    return 0
  fi
  image_arrived || fail "$2: the device was not updated" || return 1
}

# The summary's line of PORT has every one of the texts that follow.
summary_has() { # summary_has FILE PORT TEXT...
  local file=$1 p=$2 l
  shift 2
  l=$(tr -d '\r' <"$file" | grep -F "\"port\":\"$p\"")
  [ "$(printf '%s\n' "$l" | grep -c .)" = 1 ] || fail "not one summary line for $p" || return 1
  for t in "$@"; do
    case "$l" in *"$t"*) ;; *) fail "the summary line of $p lacks $t: $l" || return 1 ;; esac
  done
}

# The windows of PORTS (those still open) cover none of each other: the screen has room for
# three side by side.
windows_apart() { # windows_apart PORT...
  local p places=
  for p in "$@"; do
    case " $line_gone " in *" $p "*) continue ;; esac
    places+=$("$kx_wine" "$wdrive" layout "$caption — $p" 2>>"$log" | tr -d '\r' |
      sed -n "s/^form .* window=\([-0-9,]*\) .*/$p \1/p")$'\n'
  done
  note "windows: $(echo "$places" | tr '\n' ' ')"
  local bad
  bad=$(awk -F'[ ,]' 'NF == 5 { n++; p[n] = $1; l[n] = $2; t[n] = $3; r[n] = $4; b[n] = $5 }
    END { for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++)
            if (l[i] < r[j] && l[j] < r[i] && t[i] < b[j] && t[j] < b[i]) print p[i] " covers " p[j] }' <<<"$places")
  [ -z "$bad" ] || fail "windows overlap: $bad" || return 1
}

# The run of PORTS: each window captioned with its port while the run goes on (but the ports in
# line_gone, whose run ends at once), the whole run's exit code, and a summary line per device.
line_gone=
line_run() { # line_run NAME CODE PORT...
  local name=$1 code=$2 list p
  shift 2
  list=$(IFS=,; echo "$*")
  rm -f "$work/$name.json" "$work/$name"*.log
  start_app "$name" /auto="$list" /log="$name.log" /summary="$name.json"
  for p in "$@"; do
    case " $line_gone " in *" $p "*) continue ;; esac
    wd wait "$caption — $p" "" 30000 || fail "no window captioned with $p" || return 1
  done
  [ "$("$kx_wine" "$wdrive" count "$caption" 2>>"$log" | tr -d '\r')" = 0 ] ||
    fail "a window without a port in its caption" || return 1
  windows_apart "$@" || return 1
  shot "$name"
  app_exit 240
  [ "$app_rc" = "$code" ] || fail "exit code $app_rc of the whole run, not $code" || return 1
  [ -f "$work/$name.json" ] || fail "no summary" || return 1
  sed 's/^/  summary: /' "$work/$name.json" >>"$log"
  [ "$(grep -c . "$work/$name.json")" = $# ] || fail "not $# summary lines" || return 1
  for p in "$@"; do
    [ -f "$work/$name-$p.log" ] || fail "no log for $p" || return 1
  done
}

scenario_line-success() {
  local p
  line_declare COM6 COM7 || return 1
  for p in COM5 COM6 COM7; do line_sim line-success "$p" || return 1; done
  line_run line-success 0 COM5 COM6 COM7 || return 1
  line_sims_stop line-success
  for p in COM5 COM6 COM7; do
    line_device line-success "$p" || return 1
    summary_has "$work/line-success.json" "$p" '"model":"VKD7","firmware":"9.0","offered":"9.1"' \
      '"result":"updated","blocks":508,' '"exit_code":0,"reason":""' || return 1
  done
}

scenario_line-failure() {
  line_declare COM6 COM7 || return 1
  line_sim line-failure COM5 || return 1
  line_sim line-failure COM6 --fault "$fault_wrong_crc" --block "$fault_block" || return 1
  line_sim line-failure COM7 || return 1
  line_run line-failure 1 COM5 COM6 COM7 || return 1
  line_sims_stop line-failure
  line_device line-failure COM5 || return 1
  line_device line-failure COM6 failed || return 1
  line_device line-failure COM7 || return 1
  summary_has "$work/line-failure.json" COM6 '"result":"transfer failed"' '"exit_code":1,' \
    '"reason":"after block ' || return 1
  summary_has "$work/line-failure.json" COM5 '"result":"updated"' || return 1
  summary_has "$work/line-failure.json" COM7 '"result":"updated"' || return 1
}

# COM6 is declared, but nothing serves it.
scenario_line-nodevice() {
  line_declare COM6 || return 1
  rm -f "$work/com6"
  line_sim line-nodevice COM5 || return 1
  line_gone=COM6 line_run line-nodevice 2 COM5 COM6 || return 1
  line_sims_stop line-nodevice
  line_device line-nodevice COM5 || return 1
  summary_has "$work/line-nodevice.json" COM6 '"result":"no device"' '"exit_code":2,' \
    '"reason":"the port could not be opened: ' || return 1
}

# COM6's process hangs as a whole (every thread suspended from outside) once its window shows:
# it neither tells a step nor ends. The first process ends it after 30 s without a step, logs the
# ports it awaits meanwhile, and the run ends by itself with one line per port.
scenario_line-stuck() {
  local p name=line-stuck
  line_declare COM6 COM7 || return 1
  for p in COM5 COM6 COM7; do line_sim "$name" "$p" || return 1; done
  rm -f "$work/$name.json" "$work/$name"*.log
  start_app "$name" /auto=COM5,COM6,COM7 /log="$name.log" /summary="$name.json"
  wd wait "$caption — COM6" "" 30000 || fail "no window captioned with COM6" || return 1
  wd freeze "$caption — COM6" || fail "COM6's process was not frozen" || return 1
  app_exit 240
  [ "$app_rc" = 1 ] || fail "exit code $app_rc of the whole run, not 1" || return 1
  line_sims_stop "$name"
  [ -f "$work/$name.json" ] || fail "no summary" || return 1
  sed 's/^/  summary: /' "$work/$name.json" >>"$log"
  [ "$(grep -c . "$work/$name.json")" = 3 ] || fail "not 3 summary lines" || return 1
  line_device "$name" COM5 || return 1
  line_device "$name" COM7 || return 1
  line_device "$name" COM6 failed || return 1
  summary_has "$work/$name.json" COM5 '"result":"updated"' || return 1
  summary_has "$work/$name.json" COM7 '"result":"updated"' || return 1
  summary_has "$work/$name.json" COM6 '"result":"interrupted"' '"exit_code":130,' \
    '"reason":"no step for 30 s: the first process ended it; it ended, exit code 0xC000013A"' || return 1
  sed 's/^/  run log: /' "$work/$name.log" >>"$log"
  grep -q 'waiting for .*COM6 (last step' "$work/$name.log" || fail "the awaited ports are not logged" || return 1
}

# Figures, not a check: one device with "/auto=COM5" against three and six devices with one
# command each, all at the line's pace; the wall time from the start to the exit.
line_bench_run() { # line_bench_run NAME PORT...
  local name=$1 p t0 t1 list
  shift
  for p in "$@"; do line_sim "$name" "$p" || return 1; done
  list=$(IFS=,; echo "$*")
  rm -f "$work/$name.json"
  t0=$(date +%s%N)
  start_app "$name" /auto="$list" /summary="$name.json"
  app_exit 300
  t1=$(date +%s%N)
  [ "$app_rc" = 0 ] || fail "exit code $app_rc" || return 1
  line_sims_stop "$name"
  for p in "$@"; do line_device "$name" "$p" || return 1; done
  bench_ms=$(((t1 - t0) / 1000000))
}

scenario_line-bench() {
  local one three six
  line_declare COM6 COM7 COM8 COM10 COM11 || return 1
  line_bench_run line-bench-1 COM5 || return 1
  one=$bench_ms
  line_bench_run line-bench-3 COM5 COM6 COM7 || return 1
  three=$bench_ms
  line_bench_run line-bench-6 COM5 COM6 COM7 COM8 COM10 COM11 || return 1
  six=$bench_ms
  echo "  one device $one ms; three devices $three ms (ratio $(awk -v a="$three" -v b="$one" 'BEGIN { printf "%.3f", a / b }')); six devices $six ms (ratio $(awk -v a="$six" -v b="$one" 'BEGIN { printf "%.3f", a / b }'))"
}
