// POSIX (Linux) serial back-end: termios in raw mode through the termios2 interface (any
// rate), exclusive open and a poll()-based wait for port events (the COM-name port table is in
// port_table_posix.cpp).
//
// Pseudo-terminals have no modem lines and no error counters: the calls that ask for them
// fail with ENOTTY there, which this back-end takes as "no line is on" and "no error" rather
// than as a failure of the port.
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>
#include <shared_mutex>
#include <thread>

#include "elements/serial/port.hpp"
#include "elements/serial/port_table.hpp"

namespace kx {

namespace serial {

namespace {

using Clock = std::chrono::steady_clock;

std::uint64_t ms_of(std::chrono::milliseconds t) {
  return static_cast<std::uint64_t>(std::max<std::chrono::milliseconds::rep>(t.count(), 0));
}

bool no_such_ioctl(int err) {
  return err == ENOTTY || err == EINVAL;
}

// How long a close waits for a call still running on another thread.
constexpr auto kCloseGateBound = std::chrono::milliseconds(200);

void tell(OpenError* why, OpenProblem problem, int os_error) {
  if (why) *why = OpenError{problem, os_error};
}

OpenProblem problem_of(int err) {
  switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return OpenProblem::NoSuchPort;
    case EBUSY:
    case EWOULDBLOCK:
      return OpenProblem::Busy;
    case EACCES:
    case EPERM:
      return OpenProblem::AccessDenied;
    default:
      return OpenProblem::Other;
  }
}

int open_device(const std::string& path, OpenError* why) {
  if (path.empty()) {
    tell(why, OpenProblem::NoSuchPort, ENOENT);
    return -1;
  }
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    tell(why, problem_of(errno), errno);
    return -1;
  }
  // Only terminals are ports; the advisory lock keeps a second opener out even where the
  // terminal's exclusive mode does not (a privileged process ignores it).
  if (!isatty(fd)) {
    tell(why, OpenProblem::NoSuchPort, ENOTTY);
    ::close(fd);
    return -1;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    tell(why, err == EWOULDBLOCK ? OpenProblem::Busy : problem_of(err), err);
    ::close(fd);
    return -1;
  }
  return fd;
}

class PosixPort final : public Port {
 public:
  PosixPort(int fd, int wake_fd) : fd_(fd), wake_fd_(wake_fd) {}
  ~PosixPort() override {
    // The last holder: no call runs any more.
    stop_waiting();
    std::unique_lock<std::shared_timed_mutex> gate(gate_);
    release();
  }

  int last_os_error() const override { return last_error_.load(); }

  bool set_settings(const LineSettings& s) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    if (!usable() || !valid(s)) return false;
    termios2 t{};
    if (ioctl(fd_, TCGETS2, &t) != 0) return failed();
    // Raw mode: no line editing, no echo, no signals, no translation of any byte.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
    if (s.check_parity) t.c_iflag |= INPCK;
    if (s.flow.xon_xoff_output) t.c_iflag |= IXON;
    if (s.flow.xon_xoff_input) t.c_iflag |= IXOFF;
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS |
                                        CBAUD | (CBAUD << IBSHIFT));
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[s.data_bits - 5] | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    switch (s.parity) {
      case Parity::Odd:
        t.c_cflag |= PARENB | PARODD;
        break;
      case Parity::Even:
        t.c_cflag |= PARENB;
        break;
      case Parity::Mark:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
      case Parity::Space:
        t.c_cflag |= PARENB | CMSPAR;
        break;
      case Parity::None:
        break;
    }
    // One and a half stop bits exist only with 5 data bits, where the line's two mean it.
    if (s.stop_bits != StopBits::One) t.c_cflag |= CSTOPB;
    // The terminal has one hardware handshake: RTS for input and CTS for output together.
    if (s.flow.cts_gates_output || s.flow.rts == LineControl::Handshake) t.c_cflag |= CRTSCTS;
    t.c_cc[VMIN] = 1;  // with O_NONBLOCK: "no data" is EAGAIN, a hung-up line reads 0
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = static_cast<cc_t>(s.flow.xon_char);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.flow.xoff_char);
    t.c_ispeed = t.c_ospeed = s.baud;
    if (ioctl(fd_, TCSETS2, &t) != 0) return failed();
    // A driver that cannot come near the rate refuses it (a UART receiver tolerates a few
    // percent, so a rounded divisor is accepted).
    termios2 back{};
    if (ioctl(fd_, TCGETS2, &back) != 0) return false;
    const double ratio = static_cast<double>(back.c_ospeed) / static_cast<double>(s.baud);
    if (std::fabs(ratio - 1.0) > 0.03) {
      last_error_.store(EINVAL);
      return false;
    }
    if (!set_line(TIOCM_DTR, s.flow.dtr != LineControl::Off) ||
        !set_line(TIOCM_RTS, s.flow.rts != LineControl::Off))
      return false;
    discard_null_ = s.discard_null;
    return true;
  }

  bool set_queue_sizes(std::uint32_t, std::uint32_t) override {
    return true;  // the kernel's queues have a fixed size
  }

  bool purge(Purge what) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    if (!usable()) return false;
    // Reads and writes run to their end on the calling thread: abort and clear are one here.
    const bool rx = what.abort_input || what.clear_input;
    const bool tx = what.abort_output || what.clear_output;
    if (!rx && !tx) return true;
    const int which = rx && tx ? TCIOFLUSH : (rx ? TCIFLUSH : TCOFLUSH);
    return ioctl(fd_, TCFLSH, which) == 0;
  }

  bool set_timeouts(const Timeouts& t) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    if (!usable()) return false;
    std::lock_guard<std::mutex> lock(timeouts_mutex_);
    timeouts_ = t;
    return true;
  }

  bool set_watched_events(PortEvents events) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    if (!usable()) return false;
    watched_.store(events);
    wake();
    return true;
  }

  WaitResult wait_event(PortEvents& events) override {
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

  void stop_waiting() override {
    stop_.store(true);
    wake();
  }

  bool clear_errors(LineErrors& errors, std::uint32_t& in_queue) override {
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

  bool queued_input(std::uint32_t& in_queue) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    in_queue = 0;
    int n = 0;
    if (!usable() || ioctl(fd_, FIONREAD, &n) != 0) return false;
    in_queue = static_cast<std::uint32_t>(std::max(n, 0));
    return true;
  }

  bool modem_status(ModemLines& lines) override {
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

  Io read(std::size_t count, std::string& out) override {
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

  Io write(const std::string& bytes, std::size_t& written) override {
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

  bool flush() override { return drain_output(std::chrono::seconds(2)); }

  bool drain_output(std::chrono::milliseconds bound) override {
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

  void close() override {
    stop_waiting();
    closed_.store(true);  // every later call fails, also while a stuck one holds the handle
    std::unique_lock<std::shared_timed_mutex> gate(gate_, std::defer_lock);
    // A call stuck in the driver keeps the handle; the last holder's destructor closes it.
    if (gate.try_lock_for(kCloseGateBound)) release();
  }

 private:
  // Exclusive gate held.
  void release() {
    if (fd_ >= 0) {
      ioctl(fd_, TIOCNXCL);  // the terminal may outlive this handle (a pty's other side)
      flock(fd_, LOCK_UN);
      ::close(fd_);
      fd_ = -1;
    }
    if (wake_fd_ >= 0) {
      ::close(wake_fd_);
      wake_fd_ = -1;
    }
  }

  bool usable() const { return fd_ >= 0 && !closed_.load(); }
  bool failed() {
    last_error_.store(errno);
    return false;
  }

  void wake() {
    if (wake_fd_ >= 0) {
      const std::uint64_t one = 1;
      [[maybe_unused]] ssize_t n = ::write(wake_fd_, &one, sizeof one);
    }
  }

  bool set_line(int line, bool on) {
    if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
    return no_such_ioctl(errno);
  }

  void drop_nulls(std::string& s) const {
    if (discard_null_) s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
  }

  // Reader thread only: the modem lines that changed since the last look.
  PortEvents line_changes(PortEvents watched) {
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

}  // namespace

std::unique_ptr<Port> open_port(const std::string& name, OpenError* why) {
  const int fd = open_device(device_for(name), why);
  if (fd < 0) return nullptr;
  const int wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd < 0 || ioctl(fd, TIOCEXCL) != 0) {
    tell(why, OpenProblem::Other, errno);
    if (wake_fd >= 0) ::close(wake_fd);
    flock(fd, LOCK_UN);
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixPort>(fd, wake_fd);
}

std::vector<std::string> installed_ports() {
  std::vector<std::string> names;
  for (auto& entry : port_table()) names.push_back(std::move(entry.first));
  return names;
}

bool can_open_port(const std::string& name) {
  const int fd = open_device(device_for(name), nullptr);
  if (fd < 0) return false;
  flock(fd, LOCK_UN);
  ::close(fd);
  return true;
}

void raise_current_thread_priority() {
  // Raising a thread above the others needs privileges on Linux; the reader stays as it is.
}

}  // namespace serial
}  // namespace kx
