// The serial port's portable options and reports in the Win32 driver's own words: event,
// modem-status, line-error and purge bits and the time-out record.
#pragma once

#include <windows.h>

#include "elements/serial/port.hpp"

namespace kx::serial {

DWORD event_bits(PortEvents events);
PortEvents events_of(DWORD bits);
ModemLines modem_lines_of(DWORD bits);
LineErrors errors_of(DWORD bits);
DWORD purge_bits(Purge what);
COMMTIMEOUTS comm_timeouts(const Timeouts& t);

}  // namespace kx::serial
