#include "elements/serial/port_words_win32.hpp"

#include <chrono>
#include <utility>

namespace kx::serial {

namespace {

constexpr std::pair<PortEvent, DWORD> kEventBits[] = {
    {PortEvent::RxChar, EV_RXCHAR},   {PortEvent::RxFlag, EV_RXFLAG},
    {PortEvent::TxEmpty, EV_TXEMPTY}, {PortEvent::Cts, EV_CTS},
    {PortEvent::Dsr, EV_DSR},         {PortEvent::Rlsd, EV_RLSD},
    {PortEvent::Break, EV_BREAK},     {PortEvent::Err, EV_ERR},
    {PortEvent::Ring, EV_RING},       {PortEvent::Rx80Full, EV_RX80FULL},
};

}  // namespace

DWORD event_bits(PortEvents events) {
  DWORD bits = 0;
  for (const auto& [event, bit] : kEventBits)
    if (events.has(event)) bits |= bit;
  return bits;
}

PortEvents events_of(DWORD bits) {
  PortEvents events;
  for (const auto& [event, bit] : kEventBits)
    if (bits & bit) events.add(event);
  return events;
}

ModemLines modem_lines_of(DWORD bits) {
  ModemLines lines;
  lines.cts = (bits & MS_CTS_ON) != 0;
  lines.dsr = (bits & MS_DSR_ON) != 0;
  lines.ring = (bits & MS_RING_ON) != 0;
  lines.rlsd = (bits & MS_RLSD_ON) != 0;
  return lines;
}

LineErrors errors_of(DWORD bits) {
  LineErrors e;
  e.input_overflow = (bits & CE_RXOVER) != 0;
  e.overrun = (bits & CE_OVERRUN) != 0;
  e.parity = (bits & CE_RXPARITY) != 0;
  e.framing = (bits & CE_FRAME) != 0;
  e.break_received = (bits & CE_BREAK) != 0;
  e.output_full = (bits & CE_TXFULL) != 0;
  e.io = (bits & CE_IOE) != 0;
  e.mode = (bits & CE_MODE) != 0;
  return e;
}

DWORD purge_bits(Purge what) {
  return (what.abort_output ? PURGE_TXABORT : 0u) | (what.abort_input ? PURGE_RXABORT : 0u) |
         (what.clear_output ? PURGE_TXCLEAR : 0u) | (what.clear_input ? PURGE_RXCLEAR : 0u);
}

namespace {

DWORD ms_dword(std::chrono::milliseconds t) {
  return t.count() <= 0 ? 0u
         : t.count() >= static_cast<std::chrono::milliseconds::rep>(MAXDWORD)
             ? MAXDWORD
             : static_cast<DWORD>(t.count());
}

}  // namespace

// The driver's time-outs: an interval of all ones with no totals returns at once; all ones for
// interval and multiplier with a constant waits that long for the first byte only.
COMMTIMEOUTS comm_timeouts(const Timeouts& t) {
  COMMTIMEOUTS ct{};
  switch (t.read.wait) {
    case ReadTimeouts::Wait::Immediate:
      ct.ReadIntervalTimeout = MAXDWORD;
      break;
    case ReadTimeouts::Wait::FirstByte:
      ct.ReadIntervalTimeout = MAXDWORD;
      ct.ReadTotalTimeoutMultiplier = MAXDWORD;
      ct.ReadTotalTimeoutConstant = ms_dword(t.read.constant);
      break;
    case ReadTimeouts::Wait::Bounded:
      ct.ReadIntervalTimeout = ms_dword(t.read.gap);
      ct.ReadTotalTimeoutMultiplier = ms_dword(t.read.per_byte);
      ct.ReadTotalTimeoutConstant = ms_dword(t.read.constant);
      break;
  }
  ct.WriteTotalTimeoutMultiplier = ms_dword(t.write.per_byte);
  ct.WriteTotalTimeoutConstant = ms_dword(t.write.constant);
  return ct;
}

}  // namespace kx::serial
