# shellcheck shell=bash
# shellcheck disable=SC2154 # the paths, programs and texts are set by e2e.sh
# The Wine end-to-end runs' helpers, sourced by e2e.sh: building what the runs need, the display,
# the prefix's server, the simulated device, the tool and wdrive, and the checks that several
# scenarios share. They use the paths, programs and texts that e2e.sh sets before it sources this.

# --- machine, programs -------------------------------------------------------------------------

# Builds TARGETS in DIR, configuring DIR with PRESET first when it is not configured yet.
build_targets() { # build_targets DIR PRESET TARGET...
  local dir=$1 preset=$2
  shift 2
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    (cd "$root" && cmake --preset "$preset" >/dev/null) || return 1
  fi
  cmake --build "$dir" --target "$@"
}

# The processes that the runs start, ended with the prefix as the script exits.
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  # The server writes the registry out as it ends: let it finish before the prefix goes.
  "$kx_wineserver" -k 2>/dev/null
  timeout 20 "$kx_wineserver" -w 2>/dev/null
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}

# --- the display ---------------------------------------------------------------------------------

# A virtual display of its own; DISPLAY names it.
start_display() {
  local fifo=$work/displayfd
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >"$logs/xvfb.log" 2>&1 &
  pids+=("$!")
  local n
  read -r -t 20 n <"$fifo" || { echo "Xvfb did not start (see $logs/xvfb.log)" >&2; exit 1; }
  export DISPLAY=:$n
}

# --- the prefix ----------------------------------------------------------------------------------

# The ports declared besides $port (the line scenarios add theirs when they first run).
line_ports=()

# Restarts the prefix's server (it reads the ports and the registry as it starts), keeps it up
# for the run and waits until every declared port is listed again; false when one is not.
restart_server() { # restart_server LOG
  "$kx_wineserver" -k 2>/dev/null
  "$kx_wineserver" -w 2>/dev/null
  # Debian's server prints its object table when it ends: keep that out of the verdict.
  "$kx_wineserver" -p >>"$logs/wineserver.log" 2>&1
  "$kx_wine" cmd /c exit >>"$1" 2>&1
  local _ listed p all
  for _ in $(seq 100); do
    listed=$("$kx_wine" reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | tr -d '\r')
    all=1
    for p in "$port" "${line_ports[@]}"; do
      printf '%s\n' "$listed" | grep -qw "$p" || all=0
    done
    [ $all = 1 ] && return 0
    sleep 0.2
  done
  return 1
}

# --- the simulator, the tool, wdrive, and the checks the scenarios share ----------------------

log=/dev/null
sim_pid=
app_pid=
report=

note() { echo "  $*" >>"$log"; }

# A command or function that does not exist is a fault of the harness, not of the tool: said in
# the scenario's log and on the terminal. (Once a scenario called a helper that was never
# written; the call failed the scenario before it waited for the simulator, whose report then
# had no "PUSK" because it was killed during its pause, and the message went unseen.)
command_not_found_handle() {
  echo "harness fault: no command or function \"$1\"" | tee -a "$log" >&2
  return 127
}

# Runs wdrive, its output into the scenario's log; returns its exit code.
wd() {
  echo "  \$ wdrive $*" >>"$log"
  "$kx_wine" "$wdrive" "$@" >>"$log" 2>&1
}

# The simulator on $port (its pseudo-terminal at $link), reported in $work/NAME.report; sim_pid is
# its process id. start_sim_on below is the one start of every simulator.
start_sim() { # start_sim NAME [devsim options...]
  report=$work/$1.report
  start_sim_on "$port" "$@"
  local rc=$?
  sim_pid=$started_pid
  return $rc
}

# Waits up to 5 s for a simulator to make its pseudo-terminal's LINK; notes it when it did not.
link_made() { # link_made LINK
  local _
  for _ in $(seq 100); do
    [ -L "$1" ] && return 0
    sleep 0.05
  done
  note "the simulator did not create $1"
  return 1
}

# Gives a simulator (PID, sim_pid when none is named) up to 5 s to end by itself: one that has
# read "PUSK" does, after its pause when it has one. A simulator killed before that reports no
# "PUSK" whatever the tool sent.
sim_ends() { # sim_ends [PID]
  local pid=${1:-$sim_pid} _
  [ -n "$pid" ] || return 0
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
}

stop_sim() {
  [ -n "$sim_pid" ] || return 0
  stop_sim_pid "$sim_pid"
  sim_pid=
  if [ -f "$report" ]; then
    sed 's/^/  report: /' "$report" >>"$log"
  fi
}

report_value() { # report_value KEY
  [ -f "$report" ] && awk -F= -v k="$1" '$1 == k { sub(/^[^=]*=/, ""); print; exit }' "$report"
}

start_app() { # start_app NAME [arguments...]
  local name=$1
  shift
  (cd "$work" && LD_PRELOAD="$shim" exec "$kx_wine" "$exe" "$@") >"$logs/$name.wine.log" 2>&1 &
  app_pid=$!
  pids+=("$app_pid")
}

# Waits for the program to end (timeout in seconds); app_rc is its exit code, 124 after the
# timeout. Not in a subshell: only this shell can collect its child's status.
app_rc=
app_exit() {
  local t=$(($1 * 10))
  while kill -0 "$app_pid" 2>/dev/null && [ $t -gt 0 ]; do
    sleep 0.1
    t=$((t - 1))
  done
  if kill -0 "$app_pid" 2>/dev/null; then
    app_rc=124
    return
  fi
  wait "$app_pid"
  app_rc=$?
  app_pid=
}

shot() { import -window root -display "$DISPLAY" "$shots/$1.png" 2>>"$log" || note "screenshot failed"; }

# Fails the scenario with a reason.
fail() {
  note "FAILED: $*"
  return 1
}

# The control showing TEXT: "visible=V enabled=E" from wdrive's state line.
state_of() {
  "$kx_wine" "$wdrive" state "$caption" "$1" 2>>"$log" | tr -d '\r' | grep -o 'visible=[01] enabled=[01]'
}

# Start, choose the port, wait for the device's identity.
identified() {
  wd wait "$caption" "$t_choose" 30000 || return 1
  wd wait "$caption" "$t_offer" 1000 || fail "the version on offer is not shown" || return 1
  [ "$(state_of "$t_write")" = "visible=1 enabled=0" ] ||
    fail "\"$t_write\" is not disabled before a port is chosen" || return 1
  wd choose "$caption" "$port" || return 1
  wd wait "$caption" "$t_device" 5000 || return 1
  wd wait "$caption" "$t_version" 1000 || return 1
  [ "$(state_of "$t_write")" = "visible=1 enabled=1" ] ||
    fail "\"$t_write\" is not enabled after the device answered" || return 1
}

# Failure screen, then OK ends the program with exit code 0.
failure_shown() { # failure_shown NAME TIMEOUT_MS
  wd wait "$caption" "$t_error" "$2" || return 1
  wd wait "$caption" "$t_retry" 2000 || return 1
  wd wait "$caption" OK 2000 || return 1
  [ "$(state_of "$t_success1")" != "visible=1 enabled=1" ] ||
    fail "the success message shows beside the error" || return 1
  wd ping "$caption" || fail "the window does not answer" || return 1
}

# After either outcome the only control left is "OK" (texts and the picture aside).
only_ok_left() {
  local left
  left=$("$kx_wine" "$wdrive" list "$caption" 2>>"$log" | tr -d '\r' | grep ' visible=1 ' |
    grep -E '^(ComboBox|Edit|msctls_progress32|Button) ' | grep -v '^Button .* "OK"$')
  [ -z "$left" ] || fail "controls still shown beside \"OK\": $left" || return 1
}

ok_ends() { # ok_ends NAME
  only_ok_left || return 1
  shot "$1"
  wd click "$caption" OK || return 1
  wd waitgone "$caption" 10000 || return 1
  app_exit 10
  [ "$app_rc" = 0 ] || fail "exit code $app_rc after OK" || return 1
}

write_started() {
  wd click "$caption" "$t_write" || return 1
}

# The simulator NAME with the devsim options that follow, the program, the device identified
# and "Записать" pressed.
transfer_started() { # transfer_started NAME [devsim options...]
  start_sim "$@" || return 1
  start_app "$1"
  identified || return 1
  write_started
}

# The window closed with its close box: the program ends with exit code 0.
closed_with_zero() {
  wd close "$caption" || return 1
  wd waitgone "$caption" 10000 || return 1
  app_exit 10
  [ "$app_rc" = 0 ] || fail "exit code $app_rc after closing the window" || return 1
}

# What the simulator saw of a complete transfer.
image_arrived() {
  [ "$(report_value image_checked)" = 1 ] || fail "the simulator had no image to compare" || return 1
  [ "$(report_value bytes_received)" = "$image_size" ] ||
    fail "the simulator received $(report_value bytes_received) image bytes" || return 1
  [ "$(report_value image_matched)" = 1 ] || fail "the image does not match" || return 1
  [ "$(report_value pusk_received)" = 1 ] || fail "\"PUSK\" did not arrive" || return 1
}

# --- several ports, each with a simulated device of its own -------------------------------------
# Generic helpers for runs on more ports than COM5: declaring ports in the prefix, a simulator
# per port, and copies of the tool each with a process id of its own.

# True when every PORT is listed under SERIALCOMM.
ports_listed() { # ports_listed PORT...
  local listed p
  listed=$("$kx_wine" reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | tr -d '\r')
  for p in "$@"; do
    echo "$listed" | grep -Eq "[[:space:]]$p\$" || return 1
  done
}

# Declares each PORT on PATH in the prefix, restarts its server and waits until all are listed.
# Nothing of the tool may run meanwhile.
declare_ports() { # declare_ports PORT=PATH...
  local spec names=() _
  for spec in "$@"; do
    "$kx_wine" reg add 'HKLM\Software\Wine\Ports' /v "${spec%%=*}" /t REG_SZ /d "${spec#*=}" /f \
      >>"$logs/prefix.log" 2>&1
    names+=("${spec%%=*}")
  done
  restart_server "$logs/prefix.log" || note "after the restart, not every usual port is listed"
  note "declared: $*"
  for _ in $(seq 100); do
    ports_listed "${names[@]}" && return 0
    sleep 0.2
  done
  note "listed: $("$kx_wine" reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>&1 | tr -d '\r' |
    grep -o 'COM[0-9]*' | tr '\n' ' ')"
  return 1
}

# Takes the PORTs out of the prefix again and waits until none of them is listed.
undeclare_ports() { # undeclare_ports PORT...
  local p _ gone kept=()
  for p in "$@"; do
    "$kx_wine" reg delete 'HKLM\Software\Wine\Ports' /v "$p" /f >>"$logs/prefix.log" 2>&1
  done
  # A line scenario that runs later declares them again; the restart no longer waits for them.
  for p in "${line_ports[@]}"; do
    case " $* " in *" $p "*) ;; *) kept+=("$p") ;; esac
  done
  line_ports=("${kept[@]}")
  restart_server "$logs/prefix.log" || return 1
  for _ in $(seq 50); do
    gone=1
    for p in "$@"; do ports_listed "$p" && gone=0; done
    [ $gone = 1 ] && return 0
    sleep 0.2
  done
  return 1
}

# The one start of a simulated device: on PORT (its pseudo-terminal linked at $work/<port in lower
# case>, the path the prefix maps PORT to), its report in $work/NAME.report and its output in
# $logs/NAME.devsim.log; started_pid is its process id, also when its link does not appear.
started_pid=
start_sim_on() { # start_sim_on PORT NAME [devsim options...]
  local port_link=$work/${1,,} name=$2
  shift 2
  rm -f "$port_link" "$work/$name.report"
  "$devsim" --link "$port_link" --report "$work/$name.report" --version "$device_answer" \
    "${sim_image[@]}" "$@" >"$logs/$name.devsim.log" 2>&1 &
  started_pid=$!
  pids+=("$started_pid")
  link_made "$port_link"
}

# Ends a simulator started by start_sim_on; it writes its report as it goes.
stop_sim_pid() { # stop_sim_pid PID
  kill "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

# A copy of the tool beside others (start_app keeps one); started_pid is its process id.
start_app_bg() { # start_app_bg NAME [arguments...]
  local name=$1
  shift
  (cd "$work" && LD_PRELOAD="$shim" exec "$kx_wine" "$exe" "$@") >"$logs/$name.wine.log" 2>&1 &
  started_pid=$!
  pids+=("$started_pid")
}

# Waits up to TIMEOUT seconds for the copy PID to end; pid_rc is its exit code, 124 (and the
# copy killed) after the timeout.
pid_rc=
pid_exit() { # pid_exit PID TIMEOUT
  local t=$(($2 * 10))
  while kill -0 "$1" 2>/dev/null && [ $t -gt 0 ]; do
    sleep 0.1
    t=$((t - 1))
  done
  if kill -0 "$1" 2>/dev/null; then
    kill "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    pid_rc=124
    return
  fi
  wait "$1"
  # shellcheck disable=SC2034 # read by the scenarios
  pid_rc=$?
}
