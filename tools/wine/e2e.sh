#!/usr/bin/env bash
# The Windows executable, end to end, under Wine: a throw-away prefix whose COM5 is a
# pseudo-terminal served by the device simulator, a virtual display, and the window driven from
# outside by wdrive as a user would drive it.
#
#   bash tools/wine/e2e.sh [SCENARIO...]   run the scenarios (default: all) on a virtual display
#   bash tools/wine/e2e.sh show            show the tool on this display against the simulator
#
# Scenarios: success wrong-crc silent split unplug other-device qv pieces close planted
# minimize dpi144 ports auto-success auto-failure (and, only when named, bench: start-up,
# transfer and memory figures under Wine). Each prints PASS or FAIL;
# the script exits non-zero when any fails. Screenshots of every final screen go to
# artifacts/screenshots/, logs to artifacts/e2e-logs/.
#
# Where the machine runs 32-bit programs, the 32-bit executable runs under 32-bit Wine; where it
# cannot, the 64-bit build of the same sources under 64-bit Wine (tools/wine/wine-env.sh; the
# run prints which). KX_WINE_BITS=64 forces the 64-bit path, KX_WINE_BITS=32 the 32-bit one.
#
# Environment: KX_WIN_BUILD (default build/windows, or build/windows64 on the 64-bit path),
# KX_NATIVE_BUILD (default build/native),
# KX_EXE, KX_WDRIVE, KX_DEVSIM (override the programs), KX_IMAGE (the image the executable
# carries; default: the one the Windows build embedded), KX_E2E_SETUP=0 (skip the package
# installation), KX_ARTIFACTS (default artifacts), KX_E2E_BAUD (the simulator's pace, default
# 38462; 0 = as fast as it can), KX_WINEDEBUG (wine's trace channels, into the logs).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

mode=run
if [ "${1:-}" = show ]; then
  mode=show
  shift
fi
all_scenarios=(success wrong-crc silent split unplug other-device qv pieces close planted minimize
  dpi144 ports auto-success auto-failure)
known_scenarios=("${all_scenarios[@]}" bench)
scenarios=("$@")
[ ${#scenarios[@]} -eq 0 ] && scenarios=("${all_scenarios[@]}")
for s in "${scenarios[@]}"; do
  case " ${known_scenarios[*]} " in
    *" $s "*) ;;
    *) echo "unknown scenario: $s (known: ${all_scenarios[*]})" >&2; exit 2 ;;
  esac
done

# 32-bit or 64-bit Wine, and the Windows build that goes with it.
. "$here/wine-env.sh" || exit 2
echo "=== Wine path: ${kx_wine_bits}-bit executable under ${kx_wine_bits}-bit Wine ($kx_wine_why)"
win_build=${KX_WIN_BUILD:-$root/$kx_win_build_dir}
native_build=${KX_NATIVE_BUILD:-$root/build/native}
exe=${KX_EXE:-$win_build/app/kxflash.exe}
wdrive=${KX_WDRIVE:-$win_build/tools/wine/wdrive/wdrive.exe}
planted=${KX_PLANTED:-$win_build/tools/wine/planted/planted.dll}
devsim=${KX_DEVSIM:-$native_build/tools/devsim/devsim}
artifacts=${KX_ARTIFACTS:-$root/artifacts}
shots=$artifacts/screenshots
logs=$artifacts/e2e-logs

# The window's texts, as the user reads them.
caption="Magnetoflux bootloader"
t_choose="Выберите порт с подключённым устройством."
t_device="Устройство: VKD7"
t_version="Текущая версия ПО: 9.0"
t_offer="Версия ПО для обновления:9.1 (VKD7/NKD7)"
t_write="Записать"
t_success1="ПО успешно обновлено!"
t_success2="Сбросте настройки по умолчанию!"
t_error="Ошибка при передаче данных!"
t_retry="Проверьте все соединения и попробуйте ещё раз."
t_notfound="На этом порту устройств не найдено."
port=COM5

# What the simulated device answers to "VERS".
device_answer='MAGNETOFLUX VKD7 9.0\r\n'

# Device simulator faults used by the scenarios, and the block at which they strike (mid-way).
fault_wrong_crc="wrong-crc"
fault_silent="silent-block"
fault_split="split"
fault_unplug="unplug"
fault_other="other-device"
fault_block=20
# The simulator answers at the line's own pace.
baud=${KX_E2E_BAUD:-38462}

# --- machine, programs -------------------------------------------------------------------------

if [ "${KX_E2E_SETUP:-1}" != 0 ]; then
  bash "$root/tools/setup-debian.sh" || exit 1
fi

# Builds TARGETS in DIR, configuring DIR with PRESET first when it is not configured yet.
build_targets() { # build_targets DIR PRESET TARGET...
  local dir=$1 preset=$2
  shift 2
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    (cd "$root" && cmake --preset "$preset" >/dev/null) || return 1
  fi
  cmake --build "$dir" --target "$@"
}
mkdir -p "$root/build"
# Brought up to date unless given from outside (a no-op after the CI's own builds).
if [ -z "${KX_EXE:-}${KX_WDRIVE:-}" ]; then
  echo "=== the Windows executable and wdrive"
  build_targets "$win_build" "$kx_win_preset" kxflash wdrive planted_dll >"$root/build/e2e-build-windows.log" 2>&1 ||
    { tail -n 30 "$root/build/e2e-build-windows.log" >&2; exit 1; }
fi
if [ -z "${KX_DEVSIM:-}" ]; then
  echo "=== the device simulator"
  build_targets "$native_build" native devsim >"$root/build/e2e-build-native.log" 2>&1 ||
    { tail -n 30 "$root/build/e2e-build-native.log" >&2; exit 1; }
fi
# The image the executable carries, for the simulator to compare with what arrives.
image=${KX_IMAGE:-}
if [ -z "$image" ] && [ -f "$win_build/CMakeCache.txt" ]; then
  image=$(sed -n 's/^KX_IMAGE_PATH:INTERNAL=//p' "$win_build/CMakeCache.txt")
fi
sim_image=()
[ -n "$image" ] && sim_image=(--image "$image")
# The modem-line shim, with its own checks.
shim=$(bash "$here/build-shim.sh" --test --bits "$kx_wine_bits" | tail -n 1) || exit 1
for f in "$exe" "$wdrive" "$devsim" "$shim" "$planted"; do
  [ -e "$f" ] || { echo "missing: $f" >&2; exit 1; }
done

mkdir -p "$shots" "$logs"
work=$(mktemp -d /tmp/kx-e2e.XXXXXX)
link=$work/com5 # the fixed path COM5 is mapped to; the simulator points it at its pty

export WINEPREFIX=$work/prefix WINEDEBUG=${KX_WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
# A neutral locale: the prefix keeps its default ANSI code page (1252), not the Cyrillic one.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
unset LANGUAGE

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  # The server writes the registry out as it ends: let it finish before the prefix goes.
  "$kx_wineserver" -k 2>/dev/null
  timeout 20 "$kx_wineserver" -w 2>/dev/null
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- the display ---------------------------------------------------------------------------------
# Wine's desktop process binds to the display of the first program: choose it before the prefix.

start_display() {
  local fifo=$work/displayfd
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >"$logs/xvfb.log" 2>&1 &
  pids+=("$!")
  local n
  read -r -t 20 n <"$fifo" || { echo "Xvfb did not start (see $logs/xvfb.log)" >&2; exit 1; }
  export DISPLAY=:$n
}

if [ "$mode" = show ]; then
  [ -n "${DISPLAY:-}" ] || { echo "show needs a display (DISPLAY is not set)" >&2; exit 1; }
else
  start_display
fi

# --- the prefix and its port -------------------------------------------------------------------

echo "=== Wine prefix with $port on a pseudo-terminal"
"$kx_wine" wineboot -i >"$logs/prefix.log" 2>&1 || { echo "wineboot failed (see $logs/prefix.log)" >&2; exit 1; }
"$kx_wineserver" -w
"$kx_wine" reg add 'HKLM\Software\Wine\Ports' /v "$port" /t REG_SZ /d "$link" /f >>"$logs/prefix.log" 2>&1
if [ "$mode" = run ]; then
  # Wine's own desktop window, so that screenshots show the window frame and caption too.
  "$kx_wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f \
    >>"$logs/prefix.log" 2>&1
  "$kx_wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f \
    >>"$logs/prefix.log" 2>&1
fi
# Restarts the prefix's server (it reads the ports and the registry as it starts), keeps it up
# for the run and waits until the port is listed again; false when it is not.
restart_server() { # restart_server LOG
  "$kx_wineserver" -k 2>/dev/null
  "$kx_wineserver" -w 2>/dev/null
  # Debian's server prints its object table when it ends: keep that out of the verdict.
  "$kx_wineserver" -p >>"$logs/wineserver.log" 2>&1
  "$kx_wine" cmd /c exit >>"$1" 2>&1
  local _
  for _ in $(seq 100); do
    "$kx_wine" reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | grep -q "$port" && return 0
    sleep 0.2
  done
  return 1
}
: >"$logs/wineserver.log"
restart_server "$logs/prefix.log" || { echo "$port does not appear under SERIALCOMM" >&2; exit 1; }
acp=$("$kx_wine" reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null |
  tr -d '\r' | awk '$1 == "ACP" { print $3 }')
echo "ANSI code page of the prefix: ${acp:-unknown}"
if [ "$acp" = 1251 ]; then
  echo "the prefix runs with the Cyrillic ANSI code page; the check needs the default one" >&2
  exit 1
fi

# --- helpers -----------------------------------------------------------------------------------

log=/dev/null
sim_pid=
app_pid=
report=

note() { echo "  $*" >>"$log"; }

# Runs wdrive, its output into the scenario's log; returns its exit code.
wd() {
  echo "  \$ wdrive $*" >>"$log"
  "$kx_wine" "$wdrive" "$@" >>"$log" 2>&1
}

start_sim() { # start_sim NAME [devsim options...]
  local name=$1
  shift
  report=$work/$name.report
  rm -f "$link" "$report"
  "$devsim" --link "$link" --report "$report" --version "$device_answer" \
    "${sim_image[@]}" "$@" >"$logs/$name.devsim.log" 2>&1 &
  sim_pid=$!
  pids+=("$sim_pid")
  for _ in $(seq 100); do
    [ -L "$link" ] && return 0
    sleep 0.05
  done
  note "the simulator did not create $link"
  return 1
}

stop_sim() {
  [ -n "$sim_pid" ] || return 0
  kill "$sim_pid" 2>/dev/null
  wait "$sim_pid" 2>/dev/null
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

# --- scenarios -----------------------------------------------------------------------------------

# What the simulator saw of a complete transfer.
image_arrived() {
  [ "$(report_value image_checked)" = 1 ] || fail "the simulator had no image to compare" || return 1
  [ "$(report_value bytes_received)" = 130048 ] ||
    fail "the simulator received $(report_value bytes_received) image bytes" || return 1
  [ "$(report_value image_matched)" = 1 ] || fail "the image does not match" || return 1
  [ "$(report_value pusk_received)" = 1 ] || fail "\"PUSK\" did not arrive" || return 1
}

scenario_success() {
  start_sim success --baud "$baud" || return 1
  start_app success
  identified || return 1
  write_started || return 1
  wd wait "$caption" "$t_success1" 180000 || return 1
  wd wait "$caption" "$t_success2" 1000 || return 1
  [ "$(state_of "$t_error")" != "visible=1 enabled=1" ] ||
    fail "the error message shows beside the success" || return 1
  ok_ends success || return 1
  stop_sim
  image_arrived || return 1
}

scenario_wrong-crc() {
  start_sim wrong-crc --baud "$baud" --fault "$fault_wrong_crc" --block "$fault_block" || return 1
  start_app wrong-crc
  identified || return 1
  write_started || return 1
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
  start_sim silent --baud "$baud" --fault "$fault_silent" --block "$fault_block" || return 1
  start_app silent
  identified || return 1
  write_started || return 1
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
  start_sim split --baud "$baud" --fault "$fault_split" --block "$fault_block" || return 1
  start_app split
  identified || return 1
  write_started || return 1
  wd wait "$caption" "$t_success1" 180000 || return 1
  [ "$(state_of "$t_error")" != "visible=1 enabled=1" ] ||
    fail "the error message shows beside the success" || return 1
  ok_ends split || return 1
  stop_sim
  image_arrived || return 1
}

# The adapter is pulled mid-way: failure shown, the window still answers, "OK" ends it.
scenario_unplug() {
  start_sim unplug --baud "$baud" --fault "$fault_unplug" --block "$fault_block" || return 1
  start_app unplug
  identified || return 1
  write_started || return 1
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
  wd close "$caption" || return 1
  wd waitgone "$caption" 10000 || return 1
  app_exit 10
  [ "$app_rc" = 0 ] || fail "exit code $app_rc after closing the window" || return 1
  stop_sim
}

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
  wd close "$caption" || return 1
  wd waitgone "$caption" 10000 || return 1
  app_exit 10
  [ "$app_rc" = 0 ] || fail "exit code $app_rc after closing the window" || return 1
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
    if [ $screen = success ]; then
      start_sim dpi144-$screen --fault early-fz --block 3 || return 1
    else
      start_sim dpi144-$screen --fault "$fault_wrong_crc" --block 3 || return 1
    fi
    start_app dpi144-$screen
    identified || return 1
    write_started || return 1
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
  wd close "$caption" || return 1
  wd waitgone "$caption" 10000 || return 1
  app_exit 10
  [ "$app_rc" = 0 ] || fail "exit code $app_rc after closing the window" || return 1
}

# Every answer, the identification's included, reaches the tool in random pieces up to 20 ms
# apart (unpaced, a fixed seed): the device is found and the whole image arrives, nothing after it.
scenario_pieces() {
  start_sim pieces --delivery random:20 --seed 13 || return 1
  start_app pieces
  identified || return 1
  write_started || return 1
  wd wait "$caption" "$t_success1" 180000 || return 1
  ok_ends pieces || return 1
  stop_sim
  image_arrived || return 1
  [ "$(report_value unexpected_bytes)" = 0 ] ||
    fail "$(report_value unexpected_bytes) bytes after the final answer" || return 1
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
  start_app auto-success /auto=$port /log=auto-success.log
  # The result shows only for a moment: the window is watched until it opens, then the exit.
  wd wait "$caption" "$t_offer" 30000 || return 1
  app_exit 240
  [ "$app_rc" = 0 ] || fail "exit code $app_rc after an unattended update" || return 1
  auto_log_ends auto-success 0 || return 1
  grep -q "result: updated, 508 of 508 blocks" "$work/auto-success.log" ||
    fail "the log has no successful result" || return 1
  # The device reads "PUSK" only after its pause, and ends by itself once it has.
  for _ in $(seq 50); do
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  stop_sim
  image_arrived || return 1
}

scenario_auto-failure() {
  rm -f "$work/auto-failure.log"
  start_sim auto-failure --baud "$baud" --fault "$fault_wrong_crc" --block "$fault_block" || return 1
  start_app auto-failure /auto=$port /log=auto-failure.log
  wd wait "$caption" "$t_offer" 30000 || return 1
  app_exit 120
  [ "$app_rc" = 1 ] || fail "exit code $app_rc after a failed unattended update" || return 1
  auto_log_ends auto-failure 1 || return 1
  stop_sim
  [ "$(report_value pusk_received)" != 1 ] || fail "\"PUSK\" sent after a wrong CRC" || return 1
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
    # Ten bits a byte: "VERS", the answer, the image, 507 two-byte answers, the final answer.
    local bytes=$((4 + 22 + 130048 + 507 * 2 + 4 + 4))
    line="$line, wire time $((bytes * 10 * 1000 / b)) ms, ratio $(awk -v t="$transfer_ms" -v w="$((bytes * 10 * 1000 / b))" 'BEGIN { printf "%.3f", t / w }')"
  fi
  echo "  $line, peak resident ${hwm} KiB"
}

scenario_bench() {
  bench_run bench-unpaced 0 || return 1
  bench_run bench-paced "$baud" || return 1
}

# --- the runs --------------------------------------------------------------------------

if [ "$mode" = show ]; then
  log=$logs/show.log
  : >"$log"
  start_sim show --baud "$baud" || { echo "the simulator did not start (see $logs/show.devsim.log)" >&2; exit 1; }
  echo "The simulated device is on $port. Choose $port, press \"$t_write\", then \"OK\"."
  start_app show
  app_exit 86400
  stop_sim
  echo "The tool ended with exit code $app_rc."
  if [ "$(report_value pusk_received)" = 1 ] && [ "$(report_value image_matched)" = 1 ]; then
    echo "The simulated device received the whole image unchanged and the start command."
  else
    echo "The simulated device received $(report_value bytes_received) of 130048 image bytes" \
      "(image matched: $(report_value image_matched), start command: $(report_value pusk_received))."
  fi
  echo "Its full report: $logs/show.report"
  cp "$report" "$logs/show.report" 2>/dev/null
  exit 0
fi

echo "=== scenarios on display $DISPLAY (screenshots: ${shots#"$root"/})"
failed=0
for s in "${scenarios[@]}"; do
  log=$logs/$s.log
  : >"$log"
  rm -f "$shots/$s.png"
  t0=$(date +%s)
  if "scenario_$s"; then
    echo "PASS $s ($(($(date +%s) - t0)) s)"
  else
    echo "FAIL $s ($(($(date +%s) - t0)) s), log: ${log#"$root"/}"
    sed 's/^/    /' "$log" | tail -n 25
    [ -f "$shots/$s.png" ] || shot "$s"
    failed=$((failed + 1))
  fi
  # Nothing of one scenario may linger into the next.
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
  app_pid=
  stop_sim
  "$kx_wine" "$wdrive" close "$caption" >/dev/null 2>&1
  "$kx_wine" "$wdrive" waitgone "$caption" 5000 >/dev/null 2>&1
done

if [ $failed -gt 0 ]; then
  echo "$failed of ${#scenarios[@]} scenario(s) failed"
  exit 1
fi
echo "all ${#scenarios[@]} scenario(s) passed"
