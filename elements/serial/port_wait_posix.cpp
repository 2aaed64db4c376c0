// POSIX (Linux) serial back-end, the reader's wait for port events: poll() on the terminal and
// an event descriptor that a stop or a change of the watched set wakes, bytes reported once
// each, and the modem lines looked at while they are watched.
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <shared_mutex>

#include "elements/serial/port.hpp"
#include "elements/serial/port_posix.hpp"

namespace kx::serial::posix {

bool PosixPort::set_watched_events(PortEvents events) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  if (!usable()) return false;
  watched_.store(events);
  wake();
  return true;
}

WaitResult PosixPort::wait_event(PortEvents& events) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  events = {};
  for (;;) {
    if (stop_.load()) return WaitResult::Stopped;
    if (!usable()) return WaitResult::Failed;
    const PortEvents watched = watched_.load();
    const bool want_rx = watched.has(PortEvent::RxChar);
    const bool want_lines =
        watched.has_any({PortEvent::Cts, PortEvent::Dsr, PortEvent::Rlsd, PortEvent::Ring}) &&
        has_lines_;
    int in_queue = 0;
    if (want_rx) {
      if (ioctl(fd_, FIONREAD, &in_queue) != 0) {
        last_error_.store(errno);
        return WaitResult::Failed;
      }
      const std::uint64_t consumed = consumed_.load();
      // Report bytes that arrived since the last look, or bytes left over after a read;
      // bytes that nobody reads are not reported again and again.
      if (in_queue > 0 &&
          (static_cast<std::uint32_t>(in_queue) != seen_queue_ || consumed != seen_consumed_))
        events.add(PortEvent::RxChar);
      seen_queue_ = static_cast<std::uint32_t>(in_queue);
      seen_consumed_ = consumed;
    }
    if (want_lines) events.add(line_changes(watched));
    if (!events.empty()) return WaitResult::Event;

    pollfd fds[2] = {{fd_, static_cast<short>(want_rx && in_queue == 0 ? POLLIN : 0), 0},
                     {wake_fd_, POLLIN, 0}};
    // Modem lines have no poll event, and unread bytes keep POLLIN raised: look again soon.
    const int timeout = (want_lines || in_queue > 0) ? 20 : -1;
    const int r = poll(fds, 2, timeout);
    if (r < 0) {
      if (errno == EINTR) continue;
      last_error_.store(errno);
      return WaitResult::Failed;
    }
    if (fds[1].revents & POLLIN) {
      std::uint64_t v;
      [[maybe_unused]] ssize_t n = ::read(wake_fd_, &v, sizeof v);
      if (stop_.load()) return WaitResult::Stopped;
      return WaitResult::Event;  // the watched set changed; events stays empty
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      last_error_.store(EIO);  // hung up: the port is gone
      return WaitResult::Failed;
    }
  }
}

void PosixPort::stop_waiting() {
  stop_.store(true);
  wake();
}

void PosixPort::wake() {
  if (wake_fd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_fd_, &one, sizeof one);
  }
}

PortEvents PosixPort::line_changes(PortEvents watched) {
  int m = 0;
  if (ioctl(fd_, TIOCMGET, &m) != 0) {
    has_lines_ = false;
    return {};
  }
  PortEvents ev;
  if (have_lines_) {
    const int changed = m ^ lines_;
    if (watched.has(PortEvent::Cts) && (changed & TIOCM_CTS)) ev.add(PortEvent::Cts);
    if (watched.has(PortEvent::Dsr) && (changed & TIOCM_DSR)) ev.add(PortEvent::Dsr);
    if (watched.has(PortEvent::Rlsd) && (changed & TIOCM_CAR)) ev.add(PortEvent::Rlsd);
    // The ring event is the end of a ring: the line going off.
    if (watched.has(PortEvent::Ring) && (changed & TIOCM_RI) && !(m & TIOCM_RI))
      ev.add(PortEvent::Ring);
  }
  lines_ = m;
  have_lines_ = true;
  return ev;
}

}  // namespace kx::serial::posix
