// TKxComAsync, its properties in the port's terms: the line settings, the watched events and
// the read and write time-outs.
#include <chrono>
#include <cstdint>

#include "elements/serial/com_async.hpp"

namespace kx {

namespace {

std::uint8_t byte_index(std::int32_t v) {
  // Out-of-range indices become a value every back-end refuses.
  return (v < 0 || v > 255) ? std::uint8_t{255} : static_cast<std::uint8_t>(v);
}

}  // namespace

serial::LineSettings TKxComAsync::line_settings(std::int32_t baud, std::int32_t dtr,
                                                std::int32_t rts) const {
  using serial::LineControl;
  serial::LineSettings s;
  s.baud = static_cast<std::uint32_t>(baud);
  // Out-of-range property numbers become values valid() refuses.
  s.data_bits = byte_index(DataBits < 0 || DataBits > 250 ? -1 : DataBits + 5);
  s.parity = static_cast<serial::Parity>(byte_index(Parity));
  s.stop_bits = static_cast<serial::StopBits>(byte_index(StopBits));
  s.check_parity = ParityCheck;
  if (ParityCheck && ErrorReplace) s.error_replacement = static_cast<char>(ErrorChar & 0xFF);
  s.discard_null = DiscardNull;
  s.abort_on_error = AbortOnError;
  s.event_char = static_cast<char>(EventChar & 0xFF);
  serial::FlowControl& f = s.flow;
  f.cts_gates_output = OutxCtsFlow;
  f.dsr_gates_output = OutxDsrFlow;
  f.dsr_gates_input = DsrSensitivity;
  f.xon_xoff_output = OutX;
  f.xon_xoff_input = InX;
  f.output_continues_after_xoff = TxContinueOnXoff;
  f.dtr =
      (dtr >= kLineOff && dtr <= kLineHandshake) ? static_cast<LineControl>(dtr) : LineControl::Off;
  f.rts = (rts >= kLineOff && rts <= kRtsToggle) ? static_cast<LineControl>(rts) : LineControl::Off;
  f.xon_limit = f.xoff_limit = static_cast<std::uint16_t>(InQueue / 4);
  f.xon_char = static_cast<char>(XonChar & 0xFF);
  f.xoff_char = static_cast<char>(XoffChar & 0xFF);
  return s;
}

serial::PortEvents TKxComAsync::events_from_properties() const {
  using serial::PortEvent;
  serial::PortEvents e;
  if (EvRxChar) e.add(PortEvent::RxChar);
  if (EvRxFlag) e.add(PortEvent::RxFlag);
  if (EvTxEmpty) e.add(PortEvent::TxEmpty);
  if (EvCts) e.add(PortEvent::Cts);
  if (EvDsr) e.add(PortEvent::Dsr);
  if (EvRlsd) e.add(PortEvent::Rlsd);
  if (EvBreak) e.add(PortEvent::Break);
  if (EvErr) e.add(PortEvent::Err);
  if (EvRing) e.add(PortEvent::Ring);
  if (EvRx80Full) e.add(PortEvent::Rx80Full);
  return e;
}

serial::Timeouts TKxComAsync::timeouts_from_properties() const {
  using Wait = serial::ReadTimeouts::Wait;
  using std::chrono::milliseconds;
  constexpr std::uint32_t kAllOnes = 0xFFFFFFFFu;
  serial::Timeouts t;
  serial::ReadTimeouts& r = t.read;
  if (ReadIntervalTimeout == kAllOnes && ReadTotalTimeoutMultiplier == 0 &&
      ReadTotalTimeoutConstant == 0) {
    r.wait = Wait::Immediate;
  } else if (ReadIntervalTimeout == kAllOnes && ReadTotalTimeoutMultiplier == kAllOnes &&
             ReadTotalTimeoutConstant != 0 && ReadTotalTimeoutConstant != kAllOnes) {
    r.wait = Wait::FirstByte;
    r.constant = milliseconds(ReadTotalTimeoutConstant);
  } else {
    r.per_byte = milliseconds(ReadTotalTimeoutMultiplier);
    r.constant = milliseconds(ReadTotalTimeoutConstant);
    r.gap = milliseconds(ReadIntervalTimeout);
  }
  t.write.per_byte = milliseconds(WriteTotalTimeoutMultiplier);
  t.write.constant = milliseconds(WriteTotalTimeoutConstant);
  return t;
}

}  // namespace kx
