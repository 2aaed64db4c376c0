// POSIX (Linux) serial back-end, the port's state: line errors from the driver's counters
// (none on a pseudo-terminal), the input queue and the modem lines.
#include <sys/ioctl.h>

#include <algorithm>
#include <mutex>
#include <shared_mutex>

#include "elements/serial/port.hpp"
#include "elements/serial/port_posix.hpp"

namespace kx::serial::posix {

bool PosixPort::clear_errors(LineErrors& errors, std::uint32_t& in_queue) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  errors = {};
  in_queue = 0;
  int n = 0;
  if (!usable() || ioctl(fd_, FIONREAD, &n) != 0) return false;
  in_queue = static_cast<std::uint32_t>(std::max(n, 0));
  serial_icounter_struct ic{};
  if (ioctl(fd_, TIOCGICOUNT, &ic) == 0) {
    std::lock_guard<std::mutex> lock(counts_mutex_);
    if (have_counts_) {
      errors.framing = ic.frame != counts_.frame;
      errors.parity = ic.parity != counts_.parity;
      errors.overrun = ic.overrun != counts_.overrun;
      errors.input_overflow = ic.buf_overrun != counts_.buf_overrun;
      errors.break_received = ic.brk != counts_.brk;
    }
    counts_ = ic;
    have_counts_ = true;
  }
  return true;
}

bool PosixPort::queued_input(std::uint32_t& in_queue) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  in_queue = 0;
  int n = 0;
  if (!usable() || ioctl(fd_, FIONREAD, &n) != 0) return false;
  in_queue = static_cast<std::uint32_t>(std::max(n, 0));
  return true;
}

bool PosixPort::modem_status(ModemLines& lines) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  lines = {};
  if (!usable()) return false;
  int m = 0;
  if (ioctl(fd_, TIOCMGET, &m) != 0) return no_such_ioctl(errno);  // a pty: no lines
  lines.cts = (m & TIOCM_CTS) != 0;
  lines.dsr = (m & TIOCM_DSR) != 0;
  lines.ring = (m & TIOCM_RI) != 0;
  lines.rlsd = (m & TIOCM_CAR) != 0;
  return true;
}

}  // namespace kx::serial::posix
