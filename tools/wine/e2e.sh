#!/usr/bin/env bash
# The Windows executable, end to end, under Wine: a throw-away prefix whose COM5 is a
# pseudo-terminal served by the device simulator, a virtual display, and the window driven from
# outside by wdrive as a user would drive it.
#
#   bash tools/wine/e2e.sh [SCENARIO...]   run the scenarios (default: all) on a virtual display
#   bash tools/wine/e2e.sh show            show the tool on this display against the simulator
#
# Scenarios: success wrong-crc silent split unplug other-device qv pieces close planted
# minimize dpi144 ports auto-success auto-failure auto-log-device line-success line-failure
# line-nodevice early-task copies startup-stress pieces-loaded (and, only when named, bench:
# start-up, transfer and memory figures under Wine; line-bench: one, three and six devices
# updated by one command; figures: the paced update, idle and loaded, beside a plain Win32 sender, as
# tools/bench/wine_bench.sh runs it). Each prints PASS or FAIL; the script exits non-zero when
# any fails. Screenshots of every final screen go to artifacts/screenshots/, logs to
# artifacts/e2e-logs/.
#
# Where the machine runs 32-bit programs, the 32-bit executable runs under 32-bit Wine; where it
# cannot, the 64-bit build of the same sources under 64-bit Wine (tools/wine/wine-env.sh; the
# run prints which). KX_WINE_BITS=64 forces the 64-bit path, KX_WINE_BITS=32 the 32-bit one.
#
# Environment: KX_WIN_BUILD (default build/windows, or build/windows64 on the 64-bit path),
# KX_NATIVE_BUILD (default build/native),
# KX_EXE, KX_WDRIVE, KX_DEVSIM, KX_REF_SENDER, KX_SMOKE (override the programs), KX_IMAGE (the image the
# executable carries; default: the one the Windows build embedded), KX_E2E_SETUP=0 (skip the package
# installation), KX_ARTIFACTS (default artifacts), KX_E2E_BAUD (the simulator's pace, default
# 38462; 0 = as fast as it can), KX_WINEDEBUG (wine's trace channels, into the logs).
#
# This file sets the run up and drives it; the helpers are in e2e-lib.sh, the scenarios in
# e2e-scenarios-transfer.sh (a transfer and its outcome), e2e-scenarios-window.sh (the window
# and the program around it) and e2e-scenarios-stress.sh (starts, copies and updates on busy
# cores; KX_STRESS_STARTS sets the number of starts, default 40).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

mode=run
if [ "${1:-}" = show ]; then
  mode=show
  shift
fi
all_scenarios=(success wrong-crc silent split unplug other-device qv pieces close planted minimize
  dpi144 ports auto-success auto-failure auto-log-device line-success line-failure line-nodevice
  line-stuck early-task first-run copies startup-stress pieces-loaded list)
known_scenarios=("${all_scenarios[@]}" bench line-bench figures)
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
ref_sender=${KX_REF_SENDER:-$win_build/tools/bench/wine_ref_sender.exe}
smoke=${KX_SMOKE:-$win_build/tools/win32-smoke/win32_smoke.exe}
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

# --- helpers and scenarios ----------------------------------------------------------------------
# Functions only: sourcing them runs nothing.

# shellcheck source=tools/image-layout.sh
. "$root/tools/image-layout.sh" || exit 2
kx_image_layout || exit 2
# shellcheck source=tools/wine/e2e-lib.sh
. "$here/e2e-lib.sh" || exit 2
# shellcheck source=tools/wine/e2e-scenarios-transfer.sh
. "$here/e2e-scenarios-transfer.sh" || exit 2
# shellcheck source=tools/wine/e2e-scenarios-window.sh
. "$here/e2e-scenarios-window.sh" || exit 2
# shellcheck source=tools/wine/e2e-scenarios-line.sh
. "$here/e2e-scenarios-line.sh" || exit 2
# shellcheck source=tools/wine/e2e-scenarios-stress.sh
. "$here/e2e-scenarios-stress.sh" || exit 2

# --- machine, programs -------------------------------------------------------------------------

if [ "${KX_E2E_SETUP:-1}" != 0 ]; then
  bash "$root/tools/setup-debian.sh" || exit 1
fi

mkdir -p "$root/build"
# Brought up to date unless given from outside (a no-op after the CI's own builds).
if [ -z "${KX_EXE:-}${KX_WDRIVE:-}" ]; then
  echo "=== the Windows executable and wdrive"
  build_targets "$win_build" "$kx_win_preset" kxflash wdrive planted_dll wine_ref_sender win32_smoke >"$root/build/e2e-build-windows.log" 2>&1 ||
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
for f in "$exe" "$wdrive" "$devsim" "$shim" "$planted" "$ref_sender" "$smoke"; do
  [ -e "$f" ] || { echo "missing: $f" >&2; exit 1; }
done

mkdir -p "$shots" "$logs"
rm -f "$logs/crashes.log"
work=$(mktemp -d /tmp/kx-e2e.XXXXXX)
link=$work/${port,,} # the fixed path $port is mapped to; the simulator points it at its pty

export WINEPREFIX=$work/prefix WINEDEBUG=${KX_WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
# A neutral locale: the prefix keeps its default ANSI code page (1252), not the Cyrillic one.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
unset LANGUAGE

# What the run started, and the prefix, go when the script ends (cleanup, in e2e-lib.sh).
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- the display ---------------------------------------------------------------------------------
# Wine's desktop process binds to the display of the first program: choose it before the prefix.

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
# A crash ends the program at once, instead of a crash dialog that nobody answers, and the
# debugger appends its backtrace to crashes.log beside the other logs.
"$kx_wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
  >>"$logs/prefix.log" 2>&1
crash_log="Z:$(echo "$logs/crashes.log" | tr / '\\')"
"$kx_wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
  /t REG_SZ /d "C:\\windows\\system32\\cmd.exe /c C:\\windows\\system32\\winedbg.exe --auto %ld %ld >>$crash_log" \
  /f >>"$logs/prefix.log" 2>&1
if [ "$mode" = run ]; then
  # Wine's own desktop window, so that screenshots show the window frame and caption too.
  "$kx_wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f \
    >>"$logs/prefix.log" 2>&1
  "$kx_wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f \
    >>"$logs/prefix.log" 2>&1
fi
: >"$logs/wineserver.log"
restart_server "$logs/prefix.log" || { echo "$port does not appear under SERIALCOMM" >&2; exit 1; }
acp=$("$kx_wine" reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null |
  tr -d '\r' | awk '$1 == "ACP" { print $3 }')
echo "ANSI code page of the prefix: ${acp:-unknown}"
if [ "$acp" = 1251 ]; then
  echo "the prefix runs with the Cyrillic ANSI code page; the check needs the default one" >&2
  exit 1
fi

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
    echo "The simulated device received $(report_value bytes_received) of $image_size image bytes" \
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
  if [ -s "$logs/crashes.log" ]; then
    echo "=== a program crashed; the debugger's report ($logs/crashes.log):"
    sed -n '1,/^Modules:/p' "$logs/crashes.log" | tr -d '\r'
  fi
  exit 1
fi
echo "all ${#scenarios[@]} scenario(s) passed"
