// POSIX (Linux) serial back-end, reads and writes: non-blocking calls with poll() between
// them, bounded by the port's time-outs as the Win32 driver bounds them, and the bounded wait
// for written bytes to leave.
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <thread>

#include "elements/serial/port.hpp"
#include "elements/serial/port_posix.hpp"

namespace kx::serial::posix {

Io PosixPort::read(std::size_t count, std::string& out) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  out.clear();
  if (!usable()) return Io::Refused;
  if (count == 0) return Io::Done;
  ReadTimeouts t;
  {
    std::lock_guard<std::mutex> lock(timeouts_mutex_);
    t = timeouts_.read;
  }
  const bool immediate = t.wait == ReadTimeouts::Wait::Immediate;
  const bool first_byte = t.wait == ReadTimeouts::Wait::FirstByte;
  const std::uint64_t total_ms = immediate    ? 0
                                 : first_byte ? ms_of(t.constant)
                                              : ms_of(t.per_byte) * count + ms_of(t.constant);
  const bool has_total = total_ms != 0;
  const auto start = Clock::now();
  const auto deadline = start + std::chrono::milliseconds(total_ms);
  const bool has_gap = t.wait == ReadTimeouts::Wait::Bounded && t.gap.count() != 0;
  const auto gap = has_gap ? t.gap : std::chrono::milliseconds(0);
  auto last_byte = start;

  out.resize(count);
  std::size_t got = 0;
  bool first_call = true;
  for (;;) {
    const ssize_t n = ::read(fd_, out.data() + got, count - got);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
      last_byte = Clock::now();
      consumed_.fetch_add(static_cast<std::uint64_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      // A hung-up line reads 0: the port is gone.
      last_error_.store(n == 0 ? EIO : errno);
      out.resize(got);
      drop_nulls(out);
      return first_call && got == 0 ? Io::Refused : Io::Failed;
    }
    first_call = false;
    if (got == count || immediate || (first_byte && got > 0)) break;
    auto now = Clock::now();
    auto wait = std::chrono::milliseconds(-1);
    if (has_total) {
      if (now >= deadline) break;
      wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
             std::chrono::milliseconds(1);
    }
    if (has_gap && got > 0) {
      if (now - last_byte >= gap) break;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(gap - (now - last_byte)) +
                  std::chrono::milliseconds(1);
      if (wait.count() < 0 || left < wait) wait = left;
    }
    pollfd p{fd_, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(std::min<std::int64_t>(wait.count(), 1 << 30)));
    if (r < 0 && errno != EINTR) break;
    if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLIN)) {
      out.resize(got);
      drop_nulls(out);
      return Io::Failed;
    }
  }
  out.resize(got);
  drop_nulls(out);
  return Io::Done;
}

Io PosixPort::write(const std::string& bytes, std::size_t& written) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  written = 0;
  if (!usable()) return Io::Refused;
  if (bytes.empty()) return Io::Done;
  WriteTimeouts t;
  {
    std::lock_guard<std::mutex> lock(timeouts_mutex_);
    t = timeouts_.write;
  }
  const std::uint64_t total_ms = ms_of(t.per_byte) * bytes.size() + ms_of(t.constant);
  const auto deadline = Clock::now() + std::chrono::milliseconds(total_ms);
  bool first_call = true;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
      first_call = false;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      last_error_.store(errno);
      return first_call ? Io::Refused : Io::Failed;
    }
    first_call = false;
    int wait = -1;
    if (total_ms != 0) {
      const auto now = Clock::now();
      if (now >= deadline) break;  // timed out: the bytes written so far count
      wait = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1);
    }
    pollfd p{fd_, POLLOUT, 0};
    const int r = poll(&p, 1, wait);
    if (r < 0 && errno != EINTR) return Io::Failed;
    if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return Io::Failed;
  }
  return Io::Done;
}

bool PosixPort::drain_output(std::chrono::milliseconds bound) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  if (!usable()) return false;
  // Polled with a bound: tcdrain could wait for ever on a line held by flow control.
  const auto deadline = Clock::now() + bound;
  for (;;) {
    int n = 0;
    if (ioctl(fd_, TIOCOUTQ, &n) != 0) return false;
    if (n <= 0) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void PosixPort::drop_nulls(std::string& s) const {
  if (discard_null_) s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
}

}  // namespace kx::serial::posix
