// POSIX (Linux) serial back-end, opening and settings: an exclusive open of the terminal the
// COM name stands for (the table is in port_table_posix.cpp), termios in raw mode through the
// termios2 interface (any rate; the fixed rates where a kernel emulation lacks it), purges,
// time-outs and the close.
#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <utility>

#include "elements/serial/port.hpp"
#include "elements/serial/port_claim_posix.hpp"
#include "elements/serial/port_posix.hpp"
#include "elements/serial/port_table.hpp"

namespace kx::serial {

namespace {

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
  // Only terminals are ports, and a port is this program's alone (port_claim_posix.hpp).
  if (!isatty(fd)) {
    tell(why, OpenProblem::NoSuchPort, ENOTTY);
    ::close(fd);
    return -1;
  }
  if (const int err = claim_port(fd); err != 0) {
    tell(why, problem_of(err), err);
    ::close(fd);
    return -1;
  }
  return fd;
}

// The classic termios interface takes only the fixed rates. A user-mode emulator (qemu-user
// runs the ARM builds on other machines) may lack termios2; the nearest fixed rate then serves
// when the driver's own rounding would be accepted as well (within 3 %).
bool set_fixed_rate(int fd, const termios2& t, unsigned baud) {
  static const std::pair<unsigned, tcflag_t> rates[] = {
      {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
      {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
      {230400, B230400}, {460800, B460800}, {500000, B500000}, {921600, B921600}};
  const auto* best = &rates[0];
  for (const auto& r : rates)
    if (std::fabs(static_cast<double>(r.first) - baud) <
        std::fabs(static_cast<double>(best->first) - baud))
      best = &r;
  if (std::fabs(static_cast<double>(best->first) / baud - 1.0) > 0.03) {
    errno = EINVAL;
    return false;
  }
  termios k{};
  k.c_iflag = t.c_iflag;
  k.c_oflag = t.c_oflag;
  k.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT))) | best->second;
  k.c_lflag = t.c_lflag;
  k.c_line = t.c_line;
  std::copy(std::begin(t.c_cc), std::begin(t.c_cc) + NCCS, std::begin(k.c_cc));
  return ioctl(fd, TCSETS, &k) == 0;
}

}  // namespace

namespace posix {

PosixPort::~PosixPort() {
  // The last holder: no call runs any more.
  stop_waiting();
  std::unique_lock<std::shared_timed_mutex> gate(gate_);
  release();
}

bool PosixPort::set_settings(const LineSettings& s) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  if (!usable() || !valid(s)) return false;
  termios2 t{};
  bool fixed_rates = false;
  if (ioctl(fd_, TCGETS2, &t) != 0) {
    if (errno != ENOSYS) return failed();
    termios k{};
    if (ioctl(fd_, TCGETS, &k) != 0) return failed();
    fixed_rates = true;
    t.c_iflag = k.c_iflag;
    t.c_oflag = k.c_oflag;
    t.c_cflag = k.c_cflag;
    t.c_lflag = k.c_lflag;
    t.c_line = k.c_line;
    std::copy(std::begin(k.c_cc), std::begin(k.c_cc) + NCCS, std::begin(t.c_cc));
  }
  // Raw mode: no line editing, no echo, no signals, no translation of any byte.
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IXON | IXOFF | IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
  if (s.check_parity) t.c_iflag |= INPCK;
  if (s.flow.xon_xoff_output) t.c_iflag |= IXON;
  if (s.flow.xon_xoff_input) t.c_iflag |= IXOFF;
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD |
                                      (CBAUD << IBSHIFT));
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
  if (fixed_rates) {
    if (!set_fixed_rate(fd_, t, s.baud)) return failed();
  } else {
    if (ioctl(fd_, TCSETS2, &t) != 0) return failed();
    // A driver that cannot come near the rate refuses it (a UART receiver tolerates a few
    // percent, so a rounded divisor is accepted).
    termios2 back{};
    if (ioctl(fd_, TCGETS2, &back) != 0) return failed();
    const double ratio = static_cast<double>(back.c_ospeed) / static_cast<double>(s.baud);
    if (std::fabs(ratio - 1.0) > 0.03) {
      last_error_.store(EINVAL);
      return false;
    }
  }
  if (!set_line(TIOCM_DTR, s.flow.dtr != LineControl::Off) ||
      !set_line(TIOCM_RTS, s.flow.rts != LineControl::Off))
    return failed();
  discard_null_ = s.discard_null;
  return true;
}

bool PosixPort::set_line(int line, bool on) {
  if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
  return no_such_ioctl(errno);
}

bool PosixPort::purge(Purge what) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  if (!usable()) return false;
  // Reads and writes run to their end on the calling thread: abort and clear are one here.
  const bool rx = what.abort_input || what.clear_input;
  const bool tx = what.abort_output || what.clear_output;
  if (!rx && !tx) return true;
  const int which = rx && tx ? TCIOFLUSH : (rx ? TCIFLUSH : TCOFLUSH);
  return ioctl(fd_, TCFLSH, which) == 0 || failed();
}

bool PosixPort::set_timeouts(const Timeouts& t) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  if (!usable()) return false;
  std::lock_guard<std::mutex> lock(timeouts_mutex_);
  timeouts_ = t;
  return true;
}

void PosixPort::close() {
  stop_waiting();
  closed_.store(true);  // every later call fails, also while a stuck one holds the handle
  std::unique_lock<std::shared_timed_mutex> gate(gate_, std::defer_lock);
  // A call stuck in the driver keeps the handle; the last holder's destructor closes it.
  if (gate.try_lock_for(kCloseGateBound)) release();
}

void PosixPort::release() {
  if (fd_ >= 0) {
    release_port_claim(fd_);
    ::close(fd_);
    fd_ = -1;
  }
  if (wake_fd_ >= 0) {
    ::close(wake_fd_);
    wake_fd_ = -1;
  }
}

}  // namespace posix

std::unique_ptr<Port> open_port(const std::string& name, OpenError* why) {
  const int fd = open_device(device_for(name), why);
  if (fd < 0) return nullptr;
  const int wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd < 0) {
    tell(why, OpenProblem::Other, errno);
    release_port_claim(fd);
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<posix::PosixPort>(fd, wake_fd);
}

std::vector<std::string> installed_ports() {
  std::vector<std::string> names;
  for (auto& entry : port_table()) names.push_back(std::move(entry.first));
  return names;
}

OpenError trial_open(const std::string& path) {
  OpenError why;
  if (const int fd = open_device(path, &why); fd >= 0) {
    release_port_claim(fd);
    ::close(fd);
  }
  return why;
}

bool can_open_port(const std::string& name) {
  return trial_open(device_for(name)).problem == OpenProblem::None;
}

void raise_current_thread_priority() {
  // Raising a thread above the others needs privileges on Linux; the reader stays as it is.
}

}  // namespace kx::serial
