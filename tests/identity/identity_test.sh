#!/usr/bin/env bash
# The port list and the selectors of the real program against a station of faked USB adapters
# (station.umockdev, run under umockdev-run): an FTDI adapter with a serial number, a CH340
# without one, a CP210x, a CDC-ACM composite device, a two-port FTDI chip, two identical adapters
# without serial numbers on two sockets of one hub, a built-in port, and two ttys that are no
# ports (a placeholder of the legacy serial driver, a virtual terminal).
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
under_station /list /json >"$work/list.jsonl" || fail "/list /json ended with code $?"
diff -u "$here/station.jsonl" "$work/list.jsonl" || fail "/list /json differs"
under_station /list >"$work/list.txt" || fail "/list ended with code $?"
diff -u "$here/station.txt" "$work/list.txt" || fail "/list differs"

# One entry: the code and the line the log must hold. A port that one selector names is chosen
# (its open then fails: the faked tty is no terminal); none or several: nothing is chosen.
auto() { # auto ENTRY CODE EXPECTED-LOG-LINE
  rm -f "$work/run.log" "$work/run.json"
  under_station "/auto=$1" /log=run.log /summary=run.json >/dev/null 2>&1
  local rc=$?
  [ "$rc" = "$2" ] || fail "/auto=$1: exit code $rc, not $2"
  grep -qF -- "$3" "$work/run.log" || { fail "/auto=$1: no log line \"$3\""; sed 's/^/    /' "$work/run.log"; }
  if [ "$2" = 2 ] && [[ "$3" == "no device: "* ]]; then
    ! grep -q "port chosen" "$work/run.log" || fail "/auto=$1: a port was chosen"
  fi
}
auto serial=A12345B 2 "port chosen: COM101 by serial=A12345B, adapter 0403:6001, serial A12345B, location 1-1.2"
auto serial=a12345b 2 "port chosen: COM101 by serial=a12345b, adapter 0403:6001, serial A12345B"
auto serial=0001 2 "port chosen: COM103 by serial=0001, adapter 10c4:ea60, serial 0001, location 1-2"
auto usb=1A86:7523 2 "port chosen: COM102 by usb=1A86:7523, adapter 1a86:7523, location 1-1.3"
auto usb=2341:8036 2 "port chosen: COM151 by usb=2341:8036, adapter 2341:8036, serial HIDPCDC42, location 1-1.1, interface 00"
auto location=1-5.2 2 "port chosen: COM107 by location=1-5.2, adapter 067b:2303, location 1-5.2"
auto location=1-4:01 2 "port chosen: COM105 by location=1-4:01, adapter 0403:6010, serial FT4ABC, location 1-4, interface 01"
auto usb=067b:2303 2 "no device: 2 ports match usb=067b:2303: /dev/ttyUSB5 (location 1-5.1), /dev/ttyUSB6 (location 1-5.2); nothing is opened"
auto serial=FT4ABC 2 "no device: 2 ports match serial=FT4ABC: /dev/ttyUSB3 (serial FT4ABC, location 1-4, interface 00), /dev/ttyUSB4 (serial FT4ABC, location 1-4, interface 01); nothing is opened"
auto usb=0403:6001 2 "port chosen: COM101 by usb=0403:6001"
auto location=1-5 2 "no device: no port matches location=1-5; nothing is opened"
auto serial=B777 2 "no device: no port matches serial=B777; nothing is opened"
grep -qF '"selector":"serial=B777"' "$work/run.json" || fail "the summary does not name the selector"
# Two entries for one port: a bad command line, nothing started.
auto location=1-5.1,COM106 3 "bad command line: location=1-5.1 and COM106 both name the port /dev/ttyUSB5"
auto serial=A12345B,location=1-1.2 3 "bad command line: serial=A12345B and location=1-1.2 both name the port /dev/ttyUSB0"
# A line with an ambiguous entry: that device has no device, the others run.
auto usb=067b:2303,location=1-5.1 2 "usb=067b:2303: no device: 2 ports match usb=067b:2303: /dev/ttyUSB5 (location 1-5.1), /dev/ttyUSB6 (location 1-5.2)"
grep -qF '"port":"usb=067b:2303","model":"","firmware":"","offered":"9.1","result":"no device"' "$work/run.json" ||
  fail "the ambiguous entry has no summary line"
grep -qF '"selector":"location=1-5.1","usb":"067b:2303","serial":"","location":"1-5.1","interface":""' "$work/run.json" ||
  fail "the resolved entry's summary line does not name its adapter"

[ "$failed" = 0 ] && echo "all identity checks passed"
exit "$failed"
