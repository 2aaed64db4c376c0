// Win32 serial back-end, the port's state: the line errors (kept when a look at the queue
// clears them), the input queue and the modem lines.
#include <windows.h>

#include <mutex>
#include <shared_mutex>

#include "elements/serial/port.hpp"
#include "elements/serial/port_win32.hpp"
#include "elements/serial/port_words_win32.hpp"

namespace kx::serial::win32 {

bool Win32Port::clear_errors(LineErrors& errors, std::uint32_t& in_queue) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  errors = {};
  in_queue = 0;
  if (!usable()) return false;
  if (reading()) {
    // The reader looks at the port between two runs and keeps the errors it clears; what has
    // come waits in the inbox. No call to the driver on the way from an answer to the next block.
    errors = errors_of(kept_errors_.exchange(0));
    std::lock_guard<std::mutex> lock(inbox_mutex_);
    in_queue = static_cast<std::uint32_t>(inbox_.size());
    return true;
  }
  DWORD e = 0;
  COMSTAT stat{};
  if (!ClearCommError(h_, &e, &stat)) return false;
  errors = errors_of(e | kept_errors_.exchange(0));
  in_queue = stat.cbInQue;
  return true;
}

bool Win32Port::queued_input(std::uint32_t& in_queue) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  in_queue = 0;
  if (!usable()) return false;
  if (reading()) {
    // Asked on every timer tick: while the reader's read is pending, what has come is in the
    // inbox or in that read, whose record says whether it has ended and with how many bytes
    // (the first byte that arrives ends it). No call to the driver. Between two of the
    // reader's reads, the queue is looked at as below.
    std::lock_guard<std::mutex> lock(inbox_mutex_);
    if (read_armed_) {
      in_queue = static_cast<std::uint32_t>(inbox_.size());
      if (HasOverlappedIoCompleted(&read_->ov))
        in_queue += static_cast<std::uint32_t>(read_->ov.InternalHigh);
      return true;
    }
  }
  COMSTAT stat{};
  if (!look(stat)) return false;
  std::lock_guard<std::mutex> lock(inbox_mutex_);
  in_queue = stat.cbInQue + static_cast<std::uint32_t>(inbox_.size());
  return true;
}

bool Win32Port::modem_status(ModemLines& lines) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  lines = {};
  if (!usable()) return false;
  DWORD m = 0;
  if (!GetCommModemStatus(h_, &m)) return false;
  lines = modem_lines_of(m);
  return true;
}

bool Win32Port::look(COMSTAT& stat) {
  DWORD errors = 0;
  if (!ClearCommError(h_, &errors, &stat)) return false;
  kept_errors_.fetch_or(errors);
  return true;
}

}  // namespace kx::serial::win32
