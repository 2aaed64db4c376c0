// TKxComAsync, the line's state: the modem lines and the line errors the port reports.
#include <string>

#include "elements/serial/com_async.hpp"

namespace kx {

bool TKxComAsync::read_modem_status() {
  if (!open_ || !port_) return false;
  serial::ModemLines lines;
  if (!port_->modem_status(lines)) return false;
  cts_ = lines.cts;
  dsr_ = lines.dsr;
  rlsd_ = lines.rlsd;
  return true;
}

void TKxComAsync::line_error_check() {
  if (!open_ || !port_) return;
  serial::LineErrors errors;
  std::uint32_t in_queue = 0;
  if (!port_->clear_errors(errors, in_queue)) return;
  errors_.clear();
  if (errors.framing) errors_.emplace_back("Receive Framing Error");
  if (errors.parity && ParityCheck) errors_.emplace_back("Receive Parity Error");
  if (errors.overrun) errors_.emplace_back("Receive Overrun Error");
  if (errors.input_overflow) errors_.emplace_back("Receive Queue overflow");
  if (errors.output_full) errors_.emplace_back("TX Queue is full");
  if (errors.break_received) errors_.emplace_back("Break Detected");
  if (errors.io) errors_.emplace_back("Port I/O Error");
  if (errors.mode) errors_.emplace_back("Requested mode unsupported");
  if (!errors_.empty()) {
    std::string what = "line error";
    for (const std::string& e : errors_) what += (&e == &errors_.front() ? ": " : "; ") + e;
    note_port_failure(what, 0);
  }
}

}  // namespace kx
