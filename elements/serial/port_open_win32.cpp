// Win32 serial back-end, opening and settings: CreateFileA on "\\.\" + name (so COM10 and
// above open) with overlapped I/O, the line settings, queue sizes, purges and time-outs, and
// the close that a call stuck in the driver cannot hold up.
#include <windows.h>

#include <memory>
#include <mutex>
#include <shared_mutex>

#include "elements/serial/port.hpp"
#include "elements/serial/port_win32.hpp"
#include "elements/serial/port_words_win32.hpp"

namespace kx::serial {

namespace win32 {

// The line-settings record numbers parity, stop bits and control-line modes as the port's own
// enumerations do.
static_assert(static_cast<int>(Parity::None) == NOPARITY &&
              static_cast<int>(Parity::Odd) == ODDPARITY &&
              static_cast<int>(Parity::Even) == EVENPARITY &&
              static_cast<int>(Parity::Mark) == MARKPARITY &&
              static_cast<int>(Parity::Space) == SPACEPARITY);
static_assert(static_cast<int>(StopBits::One) == ONESTOPBIT &&
              static_cast<int>(StopBits::OneAndAHalf) == ONE5STOPBITS &&
              static_cast<int>(StopBits::Two) == TWOSTOPBITS);
static_assert(static_cast<int>(LineControl::Off) == DTR_CONTROL_DISABLE &&
              static_cast<int>(LineControl::On) == DTR_CONTROL_ENABLE &&
              static_cast<int>(LineControl::Handshake) == DTR_CONTROL_HANDSHAKE &&
              static_cast<int>(LineControl::Off) == RTS_CONTROL_DISABLE &&
              static_cast<int>(LineControl::On) == RTS_CONTROL_ENABLE &&
              static_cast<int>(LineControl::Handshake) == RTS_CONTROL_HANDSHAKE &&
              static_cast<int>(LineControl::Toggle) == RTS_CONTROL_TOGGLE);

Win32Port::Win32Port(HANDLE h, HANDLE wait_event) : h_(h), wait_(new WaitRecord) {
  wait_->ov.hEvent = wait_event;
}

Win32Port::~Win32Port() {
  // The last holder: no call runs any more.
  stop_waiting();
  {
    std::unique_lock<std::shared_timed_mutex> gate(gate_);
    release();
  }
  if (!read_abandoned_) delete read_;  // else the driver may still write into the record
  if (wait_abandoned_) return;         // the driver may still write into the record
  if (wait_->ov.hEvent) CloseHandle(wait_->ov.hEvent);
  delete wait_;
}

bool Win32Port::set_settings(const LineSettings& s) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  if (!usable() || !valid(s)) return false;
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  // Every field not set here keeps the driver's value (or zero when it cannot be read).
  if (!GetCommState(h_, &dcb)) {
    dcb = DCB{};
    dcb.DCBlength = sizeof(DCB);
  }
  dcb.BaudRate = s.baud;
  dcb.ByteSize = s.data_bits;
  dcb.Parity = static_cast<BYTE>(s.parity);  // the enumerations follow the record's numbering
  dcb.StopBits = static_cast<BYTE>(s.stop_bits);
  dcb.fBinary = 1;
  dcb.fParity = s.check_parity ? 1 : 0;
  dcb.fErrorChar = s.error_replacement ? 1 : 0;
  if (s.error_replacement) dcb.ErrorChar = *s.error_replacement;
  dcb.fNull = s.discard_null ? 1 : 0;
  dcb.fAbortOnError = s.abort_on_error ? 1 : 0;
  dcb.EvtChar = s.event_char;
  const FlowControl& f = s.flow;
  dcb.fOutxCtsFlow = f.cts_gates_output ? 1 : 0;
  dcb.fOutxDsrFlow = f.dsr_gates_output ? 1 : 0;
  dcb.fDsrSensitivity = f.dsr_gates_input ? 1 : 0;
  dcb.fOutX = f.xon_xoff_output ? 1 : 0;
  dcb.fInX = f.xon_xoff_input ? 1 : 0;
  dcb.fTXContinueOnXoff = f.output_continues_after_xoff ? 1 : 0;
  dcb.fDtrControl = static_cast<DWORD>(f.dtr) & 3u;  // DTR_CONTROL_DISABLE .. _HANDSHAKE
  dcb.fRtsControl = static_cast<DWORD>(f.rts) & 3u;  // RTS_CONTROL_DISABLE .. _TOGGLE
  dcb.XonLim = f.xon_limit;
  dcb.XoffLim = f.xoff_limit;
  dcb.XonChar = f.xon_char;
  dcb.XoffChar = f.xoff_char;
  dcb.fDummy2 = 0;
  if (SetCommState(h_, &dcb)) return true;
  last_error_.store(GetLastError());
  return false;
}

bool Win32Port::set_queue_sizes(std::uint32_t in, std::uint32_t out) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  return usable() && SetupComm(h_, in, out) != FALSE;
}

bool Win32Port::purge(Purge what) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  return usable() && PurgeComm(h_, purge_bits(what)) != FALSE;
}

bool Win32Port::set_timeouts(const Timeouts& t) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  if (!usable()) return false;
  COMMTIMEOUTS previous{};
  {
    std::lock_guard<std::mutex> lock(timeouts_mutex_);
    previous = timeouts_;
    timeouts_ = comm_timeouts(t);
  }
  if (apply_timeouts()) return true;
  std::lock_guard<std::mutex> lock(timeouts_mutex_);
  timeouts_ = previous;
  return false;
}

COMMTIMEOUTS Win32Port::timeouts() {
  std::lock_guard<std::mutex> lock(timeouts_mutex_);
  return timeouts_;
}

void Win32Port::close() {
  stop_waiting();
  closed_.store(true);  // every later call fails, also while a stuck one holds the handle
  {
    // Ends what the driver allows to end, so that a call in progress returns.
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    if (h_ != INVALID_HANDLE_VALUE) CancelIoEx(h_, nullptr);
  }
  std::unique_lock<std::shared_timed_mutex> gate(gate_, std::defer_lock);
  // A call stuck in the driver keeps the handle; the last holder's destructor closes it.
  if (gate.try_lock_for(kCloseGateBound)) release();
}

void Win32Port::release() {
  if (h_ != INVALID_HANDLE_VALUE && wait_armed_) settle_wait();  // left armed by the reader
  if (h_ != INVALID_HANDLE_VALUE) settle_read();                 // the same for its read
  if (h_ != INVALID_HANDLE_VALUE) {
    CancelIoEx(h_, nullptr);
    CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }
}

}  // namespace win32

std::string device_path(const std::string& name) {
  return "\\\\.\\" + name;
}

// A serial port held by another program answers "access denied": the system opens each one
// exclusively, so that code means busy far more often than a missing right.
OpenProblem problem_of(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_INVALID_NAME:
      return OpenProblem::NoSuchPort;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return OpenProblem::Busy;
    default:
      return OpenProblem::Other;
  }
}

std::unique_ptr<Port> open_port(const std::string& name, OpenError* why) {
  HANDLE h = CreateFileA(device_path(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (why) *why = OpenError{problem_of(err), static_cast<int>(err)};
    return nullptr;
  }
  HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!ev) {
    if (why) *why = OpenError{OpenProblem::Other, static_cast<int>(GetLastError())};
    CloseHandle(h);
    return nullptr;
  }
  return std::make_unique<win32::Win32Port>(h, ev);
}

void raise_current_thread_priority() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
}

}  // namespace kx::serial
