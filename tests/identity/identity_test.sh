#!/usr/bin/env bash
# The port list and the selectors of the real program against a station of faked USB adapters
# (station.umockdev, run under umockdev-run): an FTDI adapter with a serial number, a CH340
# without one, a CP210x, a CDC-ACM composite device, a two-port FTDI chip, two identical adapters
# without serial numbers on two sockets of one hub, a built-in port, and two ttys that are no
# ports (a placeholder of the legacy serial driver, a virtual terminal). The program is the Linux
# station (kxflash --list, kxflash --port SELECTOR).
#   bash identity_test.sh KXFLASH
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
kx=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
under_station() { (cd "$work" && umockdev-run -d "$here/station.umockdev" -- "$kx" "$@"); }

# The list, as JSON lines and as the table, against what the station holds.
under_station --list --json >"$work/list.jsonl" || fail "--list --json ended with code $?"
diff -u "$here/station.jsonl" "$work/list.jsonl" || fail "--list --json differs"
under_station --list >"$work/list.txt" || fail "--list ended with code $?"
diff -u "$here/station.txt" "$work/list.txt" || fail "--list differs"

# One run: the code and the line its log (or, for a bad command line, its standard error) must
# hold. A port that one selector names is taken, with its adapter in the log and the summary
# (the faked tty is no terminal, so the run then ends with no device); none or several: nothing
# is opened.
run() { # run CODE EXPECTED-LINE --port ENTRY [--port ENTRY]...
  local code=$1 expected=$2
  shift 2
  rm -f "$work/run.log" "$work/run.json"
  under_station "$@" --log run.log --summary run.json >/dev/null 2>"$work/run.err"
  local rc=$?
  [ "$rc" = "$code" ] || fail "$*: exit code $rc, not $code"
  cat "$work/run.err" >>"$work/run.log" 2>/dev/null
  grep -qF -- "$expected" "$work/run.log" || { fail "$*: no line \"$expected\""; sed 's/^/    /' "$work/run.log"; }
  if [[ "$expected" == *"match"* ]]; then
    ! grep -q "not a serial port" "$work/run.log" || fail "$*: a port was opened"
  fi
}
adapter() { echo "(/dev/$1), adapter $2"; }
run 2 "port serial=A12345B $(adapter ttyUSB0 "0403:6001, serial A12345B, location 1-1.2")" --port serial=A12345B
run 2 "port serial=a12345b $(adapter ttyUSB0 "0403:6001, serial A12345B, location 1-1.2")" --port serial=a12345b
run 2 "port serial=0001 $(adapter ttyUSB2 "10c4:ea60, serial 0001, location 1-2")" --port serial=0001
run 2 "port usb=1A86:7523 $(adapter ttyUSB1 "1a86:7523, location 1-1.3")" --port usb=1A86:7523
run 2 "port usb=2341:8036 $(adapter ttyACM0 "2341:8036, serial HIDPCDC42, location 1-1.1, interface 00")" --port usb=2341:8036
run 2 "port usb=0403:6001 $(adapter ttyUSB0 "0403:6001, serial A12345B, location 1-1.2")" --port usb=0403:6001
run 2 "port location=1-5.2 $(adapter ttyUSB6 "067b:2303, location 1-5.2")" --port location=1-5.2
run 2 "port location=1-4:01 $(adapter ttyUSB4 "0403:6010, serial FT4ABC, location 1-4, interface 01")" --port location=1-4:01
grep -qF '"selector":"location=1-4:01","usb":"0403:6010","serial":"FT4ABC","location":"1-4","interface":"01"' "$work/run.json" ||
  fail "the summary does not name the selector and the adapter"
run 2 "no device: 2 ports match usb=067b:2303: /dev/ttyUSB5 (location 1-5.1), /dev/ttyUSB6 (location 1-5.2)" --port usb=067b:2303
run 2 "no device: 2 ports match serial=FT4ABC: /dev/ttyUSB3 (serial FT4ABC, location 1-4, interface 00), /dev/ttyUSB4 (serial FT4ABC, location 1-4, interface 01)" --port serial=FT4ABC
run 2 "no device: 2 ports match location=1-4: /dev/ttyUSB3" --port location=1-4
run 2 "no device: no port matches location=1-5" --port location=1-5
run 2 "no device: no port matches serial=B777" --port serial=B777
grep -qF '"result":"no device","blocks":0,"seconds":0.0,"exit_code":2,"reason":"no port matches serial=B777","selector":"serial=B777"}' "$work/run.json" ||
  fail "the summary of a selector that matches nothing"
# Two entries for one port: a bad command line, nothing opened. (A device path beside a selector
# is left out here: umockdev's realpath() with the caller's buffer, which the station uses for a
# path, crashes under umockdev 0.17.)
run 3 "one device given twice: serial=A12345B and location=1-1.2 (both /dev/ttyUSB0)" --port serial=A12345B --port location=1-1.2
run 3 "--port: not a USB vendor and product (usb=0403:6001): usb=0403" --port usb=0403

[ "$failed" = 0 ] && echo "all identity checks passed"
exit "$failed"
