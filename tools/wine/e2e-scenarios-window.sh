# shellcheck shell=bash
# shellcheck disable=SC2154 # the paths, programs and texts are set by e2e.sh
# The Wine end-to-end scenarios of the window and the program around it, sourced by e2e.sh (which
# sets the paths and texts, and e2e-lib.sh the helpers): the information box, planted DLLs,
# minimise and restore, 144 pixels per inch, ports that come and go, and the close.

scenario_qv() {
  start_app qv /qv
  wd wait "class:#32770" "" 30000 || return 1
  wd list "class:#32770" || return 1
  # The box may carry the window's caption; nothing else may show.
  local shown
  shown=$("$kx_wine" "$wdrive" count "$caption" 2>>"$log" | tr -d '\r')
  note "windows captioned \"$caption\": $shown"
  if [ "$("$kx_wine" "$wdrive" list "class:#32770" 2>/dev/null | tr -d '\r' | head -n 1 | cut -d' ' -f5-)" = "\"$caption\"" ]; then
    [ "$shown" = 1 ] || fail "the main window opened beside the information box" || return 1
  else
    [ "$shown" = 0 ] || fail "the main window opened" || return 1
  fi
  shot qv
  wd click "class:#32770" "#1" || return 1
  app_exit 10
  [ "$app_rc" = 0 ] || fail "exit code $app_rc after the information box" || return 1
}

# The window thread's hand-over of tasks (tools/win32-smoke): a task handed over while the
# window is not made yet, with nothing handed over after it, runs once the window exists.
scenario_early-task() {
  (cd "$work" && exec "$kx_wine" "$smoke" --early-task) >>"$log" 2>&1 &
  app_pid=$!
  pids+=("$app_pid")
  app_exit 30
  [ "$app_rc" = 0 ] || fail "exit code $app_rc: the early task was lost or came late" || return 1
}

# The first run in a prefix Wine makes as the program starts (a user's first try: the set-up
# takes most of a minute and the window comes late): an unattended run on a port the prefix does
# not have ends by itself with no device (code 2), and its log says so.
scenario_first-run() {
  local fresh=$work/fresh-prefix rc
  WINEPREFIX=$fresh "$kx_wine" wineboot -i >>"$log" 2>&1
  WINEPREFIX=$fresh "$kx_wineserver" -w
  (cd "$work" && WINEPREFIX=$fresh exec "$kx_wine" "$exe" /auto=COM200 '/log=C:\first-run.log') \
    >"$logs/first-run.wine.log" 2>&1 &
  app_pid=$!
  pids+=("$app_pid")
  app_exit 300
  rc=$app_rc
  [ "$rc" = 124 ] && kill "$app_pid" 2>/dev/null
  WINEPREFIX=$fresh "$kx_wineserver" -k 2>/dev/null
  sed 's/^/    /' "$fresh/drive_c/first-run.log" >>"$log" 2>/dev/null
  [ "$rc" = 2 ] || fail "exit code $rc from the first run in a fresh prefix, not 2" || return 1
  grep -q "no device" "$fresh/drive_c/first-run.log" || fail "the log does not say no device" ||
    return 1
  rm -rf "$fresh"
}

# A downloads folder with DLLs planted beside the executable under the names of the system
# libraries it uses, and Wine told to prefer a DLL from the program's folder (as Windows does for
# any DLL that is not a known one): none of them is loaded. The watchdog (the multimedia timer)
# ends the transfer, so the timer's functions were found, in the system's own library.
scenario_planted() {
  local dir=$work/downloads n
  mkdir -p "$dir"
  cp "$exe" "$dir/kxflash.exe" || return 1
  for n in winmm uxtheme comctl32; do cp "$planted" "$dir/$n.dll" || return 1; done
  start_sim planted --baud "$baud" --fault "$fault_silent" --block 1 || return 1
  (cd "$dir" && WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winmm,uxtheme,comctl32=n,b" \
    LD_PRELOAD="$shim" exec "$kx_wine" "$dir/kxflash.exe") >"$logs/planted.wine.log" 2>&1 &
  app_pid=$!
  pids+=("$app_pid")
  local rc=0 loaded
  { identified && write_started && failure_shown planted 30000 && ok_ends planted; } || rc=1
  stop_sim
  # First the markers: a planted DLL that was loaded is the cause of whatever failed above.
  loaded=$(cd "$dir" && ls ./*.loaded 2>/dev/null)
  note "marker files: ${loaded:-none}"
  [ -z "$loaded" ] || fail "planted DLL(s) loaded: $(echo $loaded)" || return 1
  return $rc
}

# The minimise box minimises the application to its taskbar button (the form hides, the window
# with the button is iconic); the button restores the form, which then works as before.
# The form's and the taskbar window's state, as wdrive reports them, is EXPECTED.
state_is() { # state_is WHEN EXPECTED
  local s
  s=$("$kx_wine" "$wdrive" showstate "$caption" 2>>"$log" | tr -d '\r')
  note "$1: $s"
  [ "$s" = "$2" ] || fail "$1: $s" || return 1
}
scenario_minimize() {
  local shown="form visible=1 iconic=0 taskbar visible=1 iconic=0"
  start_sim minimize --baud "$baud" || return 1
  start_app minimize
  wd wait "$caption" "$t_choose" 30000 || return 1
  state_is "at start" "$shown" || return 1
  wd minimize "$caption" || return 1
  sleep 0.5
  shot minimize-minimized
  state_is "after the minimise box" "form visible=0 iconic=0 taskbar visible=1 iconic=1" || return 1
  wd restore "$caption" || return 1
  sleep 0.5
  state_is "after the taskbar button" "$shown" || return 1
  identified || return 1
  shot minimize
  closed_with_zero || return 1
}

# The prefix's screen resolution (LogPixels), then its server restarted so that it holds.
set_dpi() { # set_dpi DPI
  note "screen resolution $1 pixels per inch"
  "$kx_wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >>"$log" 2>&1
  restart_server "$log" || fail "$port is not listed after the restart"
}

# The design's fonts: 8 points, the success message 10 points bold, the error texts 10 points.
layout_of() {
  "$kx_wine" "$wdrive" layout "$caption" "10b=     $t_success1" "10=$t_error" "10=$t_retry" 2>>"$log" |
    tr -d '\r'
}

# Every control of the first layout (96 per inch) is 1.5 times as far in the second (144 per
# inch), give or take a pixel of rounding, and as large, except what sizes itself: a label to
# its text, a combo box's height and its edit field to the system's metrics. In the second
# every text fits.
layouts_scale() { # layouts_scale LAYOUT96 LAYOUT144
  local bad
  bad=$(awk -v second="$2" '
    function field(line, key,   m) { return match(line, " " key "=-?[0-9]+") ? substr(line, RSTART + length(key) + 2, RLENGTH - length(key) - 2) + 0 : "" }
    BEGIN { n = split(second, lines, "\n"); for (i = 1; i <= n; i++) if (lines[i] ~ / id=/) big[field(lines[i], "id")] = lines[i] }
    / id=/ {
      id = field($0, "id"); if (!(id in big)) { print "control " id " missing at 144: " $0; next }
      split("x y w h", keys, " "); nk = 4
      if ($1 == "Static" || id == 1001) nk = 2; else if ($1 == "ComboBox") nk = 3
      for (k = 1; k <= nk; k++) {
        want = field($0, keys[k]) * 1.5; got = field(big[id], keys[k])
        if (got < want - 1.5 || got > want + 1.5) print "control " id " " keys[k] "=" got ", want " want ": " big[id]
      }
    }' <<<"$1")
  bad+=$(grep -E ' fits=(0|\?)' <<<"$2")
  [ -z "$bad" ] || fail "layout at 144 per inch: $bad" || return 1
}

# The window at 144 pixels per inch: every control 1.5 times its place and size at 96, every
# text fitting, on the screens of a choice, an identified device, a success and a failure.
scenario_dpi144() {
  local rc=0
  dpi144_run || rc=1
  set_dpi 96 || rc=1
  return $rc
}

dpi144_run() {
  local l96 l144 screen
  start_sim dpi96 || return 1
  start_app dpi96
  identified || return 1
  l96=$(layout_of)
  note "at 96 per inch:"$'\n'"$l96"
  wd close "$caption" || return 1
  wd waitgone "$caption" 10000 || return 1
  app_exit 10
  stop_sim
  set_dpi 144 || return 1
  start_sim dpi144 || return 1
  start_app dpi144
  wd wait "$caption" "$t_choose" 30000 || return 1
  l144=$(layout_of)
  note "at 144 per inch, choosing:"$'\n'"$l144"
  grep -q '^form .* dpi=144$' <<<"$l144" || fail "the window is not at 144 per inch" || return 1
  shot dpi144-choose
  identified || return 1
  l144=$(layout_of)
  note "at 144 per inch, identified:"$'\n'"$l144"
  shot dpi144-identified
  layouts_scale "$l96" "$l144" || return 1
  wd close "$caption" || return 1
  wd waitgone "$caption" 10000 || return 1
  app_exit 10
  stop_sim
  # The two end screens: texts fit (their places at 96 per inch are checked by the unit tests).
  for screen in success failure; do
    local fault=$fault_wrong_crc
    [ $screen = success ] && fault=early-fz
    transfer_started dpi144-$screen --fault "$fault" --block 3 || return 1
    if [ $screen = success ]; then
      wd wait "$caption" "$t_success2" 30000 || return 1
    else
      wd wait "$caption" "$t_retry" 30000 || return 1
    fi
    l144=$(layout_of)
    note "at 144 per inch, $screen:"$'\n'"$l144"
    shot dpi144-$screen
    [ -z "$(grep -E ' fits=(0|\?)' <<<"$l144")" ] ||
      fail "texts cut off on the $screen screen at 144 per inch" || return 1
    ok_ends dpi144-$screen || return 1
    stop_sim
  done
}

# The ports the list shows, on one line.
port_items() {
  "$kx_wine" "$wdrive" list "$caption" 2>>"$log" | tr -d '\r' | sed -n 's/^  item [0-9]* "\(.*\)"$/\1/p' |
    tr '\n' ' ' | sed 's/ $//'
}

wait_items() { # wait_items EXPECTED TIMEOUT_S
  local t=$(($2 * 5)) got
  while :; do
    got=$(port_items)
    [ "$got" = "$1" ] && { note "list: $got"; return 0; }
    [ $t -le 0 ] && break
    t=$((t - 1))
    sleep 0.2
  done
  fail "the list shows \"$got\", not \"$1\""
}

# A port declared after start (a second simulated device on COM9, announced as its driver
# would: WM_DEVICECHANGE) appears in the list, and disappears once it is removed; the choice
# of the other port then identifies its device as usual.
scenario_ports() {
  local link9=$work/com9 sim9 rc=0
  start_sim ports --baud "$baud" || return 1
  start_app ports
  wd wait "$caption" "$t_choose" 30000 || return 1
  # Wine's own COM1 may be listed beside COM5.
  local before
  sleep 1.5
  before=$(port_items)
  note "listed at start: $before"
  case " $before " in *" $port "*) ;; *) fail "$port is not listed" || return 1 ;; esac
  "$devsim" --link "$link9" --version "$device_answer" >"$logs/ports.devsim9.log" 2>&1 &
  sim9=$!
  pids+=("$sim9")
  for _ in $(seq 100); do [ -L "$link9" ] && break; sleep 0.05; done
  ln -sfn "$link9" "$WINEPREFIX/dosdevices/com9"
  "$kx_wine" reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\Serial8' /t REG_SZ /d COM9 /f \
    >>"$log" 2>&1
  wd devicechange "$caption" arrival COM9 || rc=1
  [ $rc = 0 ] && { wait_items "$before COM9" 5 || rc=1; }
  shot ports-plugged
  "$kx_wine" reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\Serial8' /f >>"$log" 2>&1
  rm -f "$WINEPREFIX/dosdevices/com9"
  kill "$sim9" 2>/dev/null
  wait "$sim9" 2>/dev/null
  [ $rc = 0 ] || return 1
  wd devicechange "$caption" removal COM9 || return 1
  wait_items "$before" 5 || return 1
  identified || return 1
  shot ports
  closed_with_zero || return 1
}

# True while the program or the wine server holds the simulator's terminal open.
port_held() { # port_held PTY
  local p
  for p in $(pgrep -f 'kxflash\.exe') $(pgrep -x wineserver); do
    ls -l "/proc/$p/fd" 2>/dev/null | grep -q -- "-> $1\$" && return 0
  done
  return 1
}

# Milliseconds from the close request (wdrive's own clock) to the port's release and to the end
# of the program; both must come within MAX_MS.
closed_within() { # closed_within MAX_MS
  local asked released= ended t=1000 pty
  asked=$(grep -o 'close requested at_epoch_ms=[0-9]*' "$log" | tail -n 1 | cut -d= -f2)
  pty=$(sed -n 's/^port=//p' "$logs/close.devsim.log" | head -n 1)
  while kill -0 "$app_pid" 2>/dev/null && [ $t -gt 0 ]; do
    [ -z "$released" ] && ! port_held "$pty" && released=$(date +%s%3N)
    sleep 0.01
    t=$((t - 1))
  done
  ended=$(date +%s%3N)
  t=100
  while [ -z "$released" ] && port_held "$pty" && [ $t -gt 0 ]; do
    sleep 0.01
    t=$((t - 1))
  done
  [ -n "$released" ] || released=$(date +%s%3N)
  note "the port was released $((released - asked)) ms after the close request"
  [ $((released - asked)) -le "$1" ] ||
    fail "the port was held $((released - asked)) ms after the close request" || return 1
  kill -0 "$app_pid" 2>/dev/null && fail "the program still runs 10 s after the close" && return 1
  wait "$app_pid"
  app_pid=
  [ -n "$asked" ] || fail "no close request seen" || return 1
  note "the program ended $((ended - asked)) ms after the close request"
  [ $((ended - asked)) -le "$1" ] || fail "the program took $((ended - asked)) ms to end" || return 1
}

# A close once the device is identified, and a close mid-transfer (from outside: the window is
# disabled then): the program ends within a second and the port is free at once, so the tool
# started again finds it and the device.
scenario_close() {
  start_sim close --baud "$baud" || return 1
  start_app close-identified
  identified || return 1
  wd close "$caption" || return 1
  closed_within 1000 || return 1
  start_app close-mid-transfer
  identified || fail "the port is not free after the close" || return 1
  write_started || return 1
  sleep 3 # the transfer is under way (a paced one takes half a minute)
  wd close "$caption" || return 1
  closed_within 1000 || return 1
  start_app close-again
  wd wait "$caption" "$t_choose" 30000 || return 1
  wd choose "$caption" "$port" || fail "the port is not free after the close" || return 1
  wd close "$caption" || return 1
  closed_within 1000 || return 1
  stop_sim
}

# Runs the program with ARGS, its standard output into $work/list.txt and the scenario's log;
# fails unless it ends with code 0.
list_run() { # list_run ARGS...
  local rc
  (cd "$work" && LD_PRELOAD="$shim" timeout 120 "$kx_wine" "$exe" "$@") >"$work/list.txt" 2>>"$logs/list.wine.log"
  rc=$?
  note "$* (code $rc):"
  sed 's/^/    /' "$work/list.txt" >>"$log"
  [ "$rc" = 0 ] || fail "exit code $rc from $*" || return 1
}

# The port list with identity ("/list", "/list /json") on the console it was started from: the
# declared port is there, and Wine knows no USB device behind it, so its identity fields are
# empty and nothing fails. A selector then finds no port: no device (code 2) before anything is
# opened; the device receives no byte.
scenario_list() {
  rm -f "$work/list.log"
  start_sim list --baud "$baud" || return 1
  list_run /list || return 1
  tr -d '\r' <"$work/list.txt" | grep -Eq "^$port +- +- +- +- " ||
    fail "$port is not listed, or not with empty identity fields" || return 1
  list_run /list /json || return 1
  tr -d '\r' <"$work/list.txt" | grep -Eq "^\{\"port\":\"$port\",\"description\":\"[^\"]*\",\"vid\":\"\",\"pid\":\"\",\"serial\":\"\",\"location\":\"\",\"interface\":\"\",\"by_id\":\"\",\"by_path\":\"\"\}\$" ||
    fail "no JSON line for $port with empty identity fields" || return 1
  start_app list-selector /auto=usb=0403:6001 /log=list.log
  app_exit 60
  [ "$app_rc" = 2 ] || fail "exit code $app_rc for a selector that matches no port" || return 1
  tr -d '\r' <"$work/list.log" | grep -q "no device: no port matches usb=0403:6001; nothing is opened" ||
    fail "the log does not say that no port matches" || return 1
  sleep 0.5
  stop_sim
  [ "$(report_value bytes_received)" = 0 ] ||
    fail "the device received $(report_value bytes_received) bytes" || return 1
}
