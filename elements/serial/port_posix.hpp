// The POSIX (Linux) serial port: one class whose parts live in files of their own (opening and
// settings, the wait for port events, reads and writes, the port's state and line errors).
//
// Pseudo-terminals have no modem lines and no error counters: the calls that ask for them
// fail with ENOTTY there, which this back-end takes as "no line is on" and "no error" rather
// than as a failure of the port.
#pragma once

#include <linux/serial.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "elements/serial/port.hpp"

namespace kx::serial::posix {

using Clock = std::chrono::steady_clock;

inline std::uint64_t ms_of(std::chrono::milliseconds t) {
  return static_cast<std::uint64_t>(std::max<std::chrono::milliseconds::rep>(t.count(), 0));
}

inline bool no_such_ioctl(int err) {
  return err == ENOTTY || err == EINVAL;
}

class PosixPort final : public Port {
 public:
  PosixPort(int fd, int wake_fd) : fd_(fd), wake_fd_(wake_fd) {}
  ~PosixPort() override;

  int last_os_error() const override { return last_error_.load(); }

  // Opening and settings (port_open_posix.cpp).
  bool set_settings(const LineSettings& s) override;
  bool set_queue_sizes(std::uint32_t, std::uint32_t) override {
    return true;  // the kernel's queues have a fixed size
  }
  bool purge(Purge what) override;
  bool set_timeouts(const Timeouts& t) override;
  void close() override;

  // The wait for port events (port_wait_posix.cpp).
  bool set_watched_events(PortEvents events) override;
  WaitResult wait_event(PortEvents& events) override;
  void stop_waiting() override;

  // The port's state and line errors (port_state_posix.cpp).
  bool clear_errors(LineErrors& errors, std::uint32_t& in_queue) override;
  bool queued_input(std::uint32_t& in_queue) override;
  bool modem_status(ModemLines& lines) override;

  // Reads and writes (port_io_posix.cpp).
  Io read(std::size_t count, std::string& out) override;
  Io write(const std::string& bytes, std::size_t& written) override;
  bool drain_output(std::chrono::milliseconds bound) override;

 private:
  // Exclusive gate held.
  void release();

  bool usable() const { return fd_ >= 0 && !closed_.load(); }
  bool failed() {
    last_error_.store(errno);
    return false;
  }

  void wake();

  bool set_line(int line, bool on);

  void drop_nulls(std::string& s) const;

  // Reader thread only: the modem lines that changed since the last look.
  PortEvents line_changes(PortEvents watched);

  std::shared_timed_mutex gate_;     // shared by every operation, exclusive for close
  std::atomic<bool> closed_{false};  // closed, though a stuck call may still hold the handle
  std::atomic<int> last_error_{0};
  int fd_;
  int wake_fd_;
  std::atomic<bool> stop_{false};
  std::atomic<PortEvents> watched_{};
  std::atomic<std::uint64_t> consumed_{0};
  std::mutex timeouts_mutex_;
  Timeouts timeouts_;
  std::mutex counts_mutex_;
  serial_icounter_struct counts_{};
  bool have_counts_ = false;
  std::atomic<bool> discard_null_{false};
  // Reader thread only.
  std::uint32_t seen_queue_ = 0;
  std::uint64_t seen_consumed_ = 0;
  bool has_lines_ = true;
  bool have_lines_ = false;
  int lines_ = 0;
};

}  // namespace kx::serial::posix
