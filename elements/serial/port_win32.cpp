// Win32 serial back-end: CreateFileA on "\\.\" + name (so COM10 and above open), overlapped
// I/O with a record and an event of its own for every transfer, WaitCommEvent for the reader,
// and the port list from HARDWARE\DEVICEMAP\SERIALCOMM.
//
// No wait on an overlapped operation is unbounded: waits run in slices, and a wait or result
// that fails is taken as the port being gone. A record whose operation never completes, even
// after cancelling, is left allocated rather than freed under the driver's feet.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "elements/serial/port.hpp"
#include "elements/serial/port_words_win32.hpp"
#include "runtime/pinned.hpp"

namespace kx::serial {

namespace {

constexpr DWORD kSliceMs = 50;
constexpr DWORD kCancelBoundMs = 1000;
// A cancelled wait for port events that has not ended by then is left to the driver: a close
// must not wait for it (some drivers end such a wait only when the handle closes).
constexpr DWORD kWaitCancelBoundMs = 100;
constexpr ULONGLONG kNoTimeoutBoundMs = 60000;  // the driver waits for ever: we do not
constexpr ULONGLONG kMarginMs = 5000;
// How long a close waits for a call still running on another thread.
constexpr auto kCloseGateBound = std::chrono::milliseconds(200);

// One read or write: its own overlapped record, its own event and its own buffer.
struct Transfer : Pinned {
  OVERLAPPED ov{};
  std::string buffer;
  Transfer() { ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
  ~Transfer() {
    if (ov.hEvent) CloseHandle(ov.hEvent);
  }
};

// The reader's wait for port events: the record and the mask the driver fills in. Allocated on
// its own so that a wait the driver never ends can be left to it.
struct WaitRecord {
  OVERLAPPED ov{};
  DWORD mask = 0;
};

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

class Win32Port final : public Port {
 public:
  Win32Port(HANDLE h, HANDLE wait_event) : h_(h), wait_(new WaitRecord) {
    wait_->ov.hEvent = wait_event;
  }
  ~Win32Port() override {
    // The last holder: no call runs any more.
    stop_waiting();
    {
      std::unique_lock<std::shared_timed_mutex> gate(gate_);
      release();
    }
    if (wait_abandoned_) return;  // the driver may still write into the record
    if (wait_->ov.hEvent) CloseHandle(wait_->ov.hEvent);
    delete wait_;
  }

  int last_os_error() const override { return static_cast<int>(last_error_.load()); }

  bool set_settings(const LineSettings& s) override {
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

  bool set_queue_sizes(std::uint32_t in, std::uint32_t out) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    return usable() && SetupComm(h_, in, out) != FALSE;
  }

  bool purge(Purge what) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    return usable() && PurgeComm(h_, purge_bits(what)) != FALSE;
  }

  bool set_timeouts(const Timeouts& t) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    if (!usable()) return false;
    COMMTIMEOUTS ct = comm_timeouts(t);
    if (!SetCommTimeouts(h_, &ct)) return false;
    std::lock_guard<std::mutex> lock(timeouts_mutex_);
    timeouts_ = ct;
    return true;
  }

  bool set_watched_events(PortEvents events) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    // Setting the mask completes a pending WaitCommEvent (with no event bits).
    if (!usable() || !SetCommMask(h_, event_bits(events))) return false;
    watched_.store(events);
    return true;
  }

  // The wait for port events is armed once and stays armed until it completes: a call that
  // reports bytes found in the queue leaves it pending for the next call.
  WaitResult wait_event(PortEvents& events) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    events = {};
    if (stop_.load()) {
      if (wait_armed_) settle_wait();
      return WaitResult::Stopped;
    }
    if (!usable() || wait_abandoned_) return WaitResult::Failed;
    OVERLAPPED& ov = wait_->ov;
    HANDLE ev = ov.hEvent;
    bool completed = false;
    if (!wait_armed_) {
      ov = OVERLAPPED{};
      ov.hEvent = ev;
      ResetEvent(ev);
      wait_->mask = 0;
      // Re-armed after every completion, whatever the mask reported.
      if (WaitCommEvent(h_, &wait_->mask, &ov)) {
        completed = true;
      } else if (GetLastError() != ERROR_IO_PENDING) {
        last_error_.store(GetLastError());
        return WaitResult::Failed;
      } else {
        wait_armed_ = true;
      }
    }
    if (!completed) {
      // Bytes that came in before the wait was armed are not reported by it on every system
      // (a wait may look only for changes after its start): the queue is looked at once the
      // wait is armed, and bytes not reported yet are reported now.
      if (unreported_input()) {
        events = {PortEvent::RxChar};
        empty_completions_ = 0;
        return WaitResult::Event;
      }
      for (;;) {
        const DWORD r = WaitForSingleObject(ev, kSliceMs);
        if (r == WAIT_OBJECT_0) break;
        if (r != WAIT_TIMEOUT) {
          settle_wait();
          return WaitResult::Failed;
        }
        if (stop_.load()) {
          settle_wait();
          return WaitResult::Stopped;
        }
      }
      wait_armed_ = false;
      DWORD n = 0;
      if (!GetOverlappedResult(h_, &ov, &n, FALSE)) {
        const DWORD error = GetLastError();
        if (stop_.load()) return WaitResult::Stopped;
        // The event is reset before every wait and set only by its end, so the wait is over.
        // Wine's serial wait can end (mask written, event set) before the call that started
        // it has marked the record pending, and the record then stays marked pending for
        // good; on a busy machine that happens now and then. Such an end is an end: the mask
        // holds what it reported.
        if (error != ERROR_IO_INCOMPLETE) {
          last_error_.store(error);
          return WaitResult::Failed;
        }
      }
    }
    if (stop_.load()) return WaitResult::Stopped;
    events = events_of(wait_->mask);
    if (wait_->mask == 0) {
      // A mask change, or a driver whose device went away: ask the port whether it is there.
      COMSTAT stat{};
      if (!look(stat)) {
        last_error_.store(GetLastError());
        return WaitResult::Failed;
      }
      if (++empty_completions_ > 3) Sleep(10);  // never spin on a driver that keeps waking
    } else {
      empty_completions_ = 0;
    }
    return WaitResult::Event;
  }

  // Ends a pending wait at once where the driver allows it: the reader need not notice the
  // stop at its next slice. Cancelling a wait that is not pending does nothing.
  void stop_waiting() override {
    stop_.store(true);
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    if (h_ != INVALID_HANDLE_VALUE) CancelIoEx(h_, &wait_->ov);
  }

  bool clear_errors(LineErrors& errors, std::uint32_t& in_queue) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    errors = {};
    in_queue = 0;
    if (!usable()) return false;
    DWORD e = 0;
    COMSTAT stat{};
    if (!ClearCommError(h_, &e, &stat)) return false;
    errors = errors_of(e | kept_errors_.exchange(0));
    in_queue = stat.cbInQue;
    return true;
  }

  bool queued_input(std::uint32_t& in_queue) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    in_queue = 0;
    if (!usable()) return false;
    COMSTAT stat{};
    if (!look(stat)) return false;
    in_queue = stat.cbInQue;
    return true;
  }

  bool modem_status(ModemLines& lines) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    lines = {};
    if (!usable()) return false;
    DWORD m = 0;
    if (!GetCommModemStatus(h_, &m)) return false;
    lines = modem_lines_of(m);
    return true;
  }

  Io read(std::size_t count, std::string& out) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    out.clear();
    if (!usable() || gone_.load()) return Io::Refused;
    if (count > 0x7FFFFFFF) count = 0x7FFFFFFF;
    const COMMTIMEOUTS t = timeouts();
    ULONGLONG bound = 0;
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
        t.ReadTotalTimeoutConstant == 0)
      bound = kMarginMs;  // returns at once with what is waiting
    else
      bound = driver_bound(t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant, count,
                           t.ReadIntervalTimeout);
    Transfer* tr = take(false);
    tr->buffer.resize(count);
    DWORD n = 0;
    return run(tr, false, static_cast<DWORD>(count), bound, n, &out);
  }

  Io write(const std::string& bytes, std::size_t& written) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    written = 0;
    if (!usable() || gone_.load()) return Io::Refused;
    const COMMTIMEOUTS t = timeouts();
    const ULONGLONG bound =
        driver_bound(t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant, bytes.size(), 0);
    Transfer* tr = take(true);
    tr->buffer = bytes;
    DWORD n = 0;
    const Io r = run(tr, true, static_cast<DWORD>(bytes.size()), bound, n);
    written = n;
    return r;
  }

  bool flush() override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    return usable() && FlushFileBuffers(h_) != FALSE;
  }

  bool drain_output(std::chrono::milliseconds bound) override {
    std::shared_lock<std::shared_timed_mutex> gate(gate_);
    if (!usable()) return false;
    // Polled with a bound: FlushFileBuffers waits for ever on a line held by flow control.
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(bound.count());
    for (;;) {
      DWORD errors = 0;
      COMSTAT stat{};
      if (!ClearCommError(h_, &errors, &stat)) return false;  // the adapter is gone
      if (stat.cbOutQue == 0) return true;
      if (GetTickCount64() >= deadline) return false;
      Sleep(5);
    }
  }

  void close() override {
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

 private:
  // Exclusive gate held.
  void release() {
    if (h_ != INVALID_HANDLE_VALUE && wait_armed_) settle_wait();  // left armed by the reader
    if (h_ != INVALID_HANDLE_VALUE) {
      CancelIoEx(h_, nullptr);
      CloseHandle(h_);
      h_ = INVALID_HANDLE_VALUE;
    }
  }

  bool usable() const { return h_ != INVALID_HANDLE_VALUE && !closed_.load(); }

  COMMTIMEOUTS timeouts() {
    std::lock_guard<std::mutex> lock(timeouts_mutex_);
    return timeouts_;
  }

  static ULONGLONG driver_bound(std::uint32_t multiplier, std::uint32_t constant, std::size_t count,
                                std::uint32_t interval) {
    ULONGLONG total = static_cast<ULONGLONG>(multiplier) * count + constant;
    if (multiplier == MAXDWORD || constant == MAXDWORD) total = 0;
    if (total == 0 && interval != 0 && interval != MAXDWORD)
      total = static_cast<ULONGLONG>(interval) * (count + 1);
    return (total == 0 ? kNoTimeoutBoundMs : total) + kMarginMs;
  }

  // Cancels the pending wait for port events and waits for it to end, briefly; a wait that
  // does not end is left to the driver with its record.
  void settle_wait() {
    wait_armed_ = false;
    CancelIoEx(h_, &wait_->ov);
    if (WaitForSingleObject(wait_->ov.hEvent, kWaitCancelBoundMs) != WAIT_OBJECT_0)
      wait_abandoned_ = true;
  }

  // The port's state. The system tells it only together with clearing the line's error bits:
  // they are kept for the element, which hears of them at its next clear_errors.
  bool look(COMSTAT& stat) {
    DWORD errors = 0;
    if (!ClearCommError(h_, &errors, &stat)) return false;
    kept_errors_.fetch_or(errors);
    return true;
  }

  // Reader thread: whether the input queue holds bytes that no event reported, or that were
  // left over after a read, since the last look. Bytes nobody reads are not reported again.
  bool unreported_input() {
    if (!watched_.load().has(PortEvent::RxChar)) return false;
    COMSTAT stat{};
    if (!look(stat)) return false;
    const std::uint64_t consumed = consumed_.load();
    const bool fresh =
        stat.cbInQue > 0 && (stat.cbInQue != seen_queue_ || consumed != seen_consumed_);
    seen_queue_ = stat.cbInQue;
    seen_consumed_ = consumed;
    return fresh;
  }

  // Cancels a pending operation and waits, bounded, for it to complete; marks the record as
  // abandoned when it never does.
  void settle(OVERLAPPED* ov, bool* abandoned) {
    CancelIoEx(h_, ov);
    if (WaitForSingleObject(ov->hEvent, kCancelBoundMs) != WAIT_OBJECT_0) {
      *abandoned = true;
      gone_.store(true);
    }
  }

  // A finished transfer's record (its event included) serves the next transfer of the same
  // direction: one write per image byte would otherwise make and close an event each time.
  // Reads and writes never share a record; a record the driver may still own is never reused.
  Transfer* take(bool is_write) {
    std::lock_guard<std::mutex> lock(spare_mutex_);
    std::unique_ptr<Transfer>& slot = spare_[is_write ? 1 : 0];
    if (slot) return slot.release();
    return new Transfer;
  }
  void give_back(Transfer* tr, bool is_write) {
    const HANDLE ev = tr->ov.hEvent;
    tr->ov = OVERLAPPED{};
    tr->ov.hEvent = ev;
    ResetEvent(ev);
    std::lock_guard<std::mutex> lock(spare_mutex_);
    std::unique_ptr<Transfer>& slot = spare_[is_write ? 1 : 0];
    if (slot)
      delete tr;
    else
      slot.reset(tr);
  }

  // Starts a read or write and waits for it in slices. Frees the record unless the
  // operation could not be brought to an end; what a read brought is copied out first.
  Io run(Transfer* tr, bool is_write, DWORD len, ULONGLONG bound, DWORD& n,
         std::string* received = nullptr) {
    n = 0;
    if (!tr->ov.hEvent) {
      delete tr;
      return Io::Refused;
    }
    const BOOL ok = is_write ? WriteFile(h_, tr->buffer.data(), len, nullptr, &tr->ov)
                             : ReadFile(h_, tr->buffer.data(), len, nullptr, &tr->ov);
    if (!ok && GetLastError() != ERROR_IO_PENDING) {
      last_error_.store(GetLastError());
      delete tr;
      return Io::Refused;
    }
    const ULONGLONG deadline = GetTickCount64() + bound;
    for (;;) {
      const DWORD r = WaitForSingleObject(tr->ov.hEvent, kSliceMs);
      if (r == WAIT_OBJECT_0) break;
      if (r != WAIT_TIMEOUT || GetTickCount64() >= deadline || gone_.load()) {
        last_error_.store(r == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError());
        bool abandoned = false;
        settle(&tr->ov, &abandoned);
        if (abandoned) return Io::Failed;  // tr stays allocated: the driver still owns it
        gone_.store(true);
        delete tr;
        return Io::Failed;
      }
    }
    DWORD moved = 0;
    const BOOL res = GetOverlappedResult(h_, &tr->ov, &moved, FALSE);
    if (res && received != nullptr) {
      received->assign(tr->buffer.data(), moved);
      consumed_.fetch_add(moved);
    }
    if (!res) last_error_.store(GetLastError());
    give_back(tr, is_write);
    if (!res) return Io::Failed;
    n = moved;
    return Io::Done;
  }

  std::mutex spare_mutex_;
  std::unique_ptr<Transfer> spare_[2];  // read, write
  std::shared_timed_mutex gate_;        // shared by every operation, exclusive for close
  std::atomic<bool> closed_{false};     // closed, though a stuck call may still hold the handle
  std::atomic<DWORD> last_error_{0};
  std::atomic<std::uint32_t> kept_errors_{0};
  std::atomic<PortEvents> watched_{};
  std::atomic<std::uint64_t> consumed_{
      0};  // bytes read so far  // read by queued_input, not reported yet
  HANDLE h_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> gone_{false};
  std::mutex timeouts_mutex_;
  COMMTIMEOUTS timeouts_{};
  WaitRecord* wait_;  // the event is read by stop_waiting too; the rest by the reader only
  // Reader thread only.
  bool wait_abandoned_ = false;
  bool wait_armed_ = false;  // a WaitCommEvent is pending on the record
  int empty_completions_ = 0;
  DWORD seen_queue_ = 0;
  std::uint64_t seen_consumed_ = 0;
};

std::string device_path(const std::string& name) {
  return "\\\\.\\" + name;
}

}  // namespace

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
  return std::make_unique<Win32Port>(h, ev);
}

std::vector<std::string> installed_ports() {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return names;
  DWORD count = 0, longest = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    RegCloseKey(key);
    return names;
  }
  for (DWORD i = 0; i < count; ++i) {
    std::vector<char> value_name(longest + 1, '\0');
    DWORD len = longest + 1;
    if (RegEnumValueA(key, i, value_name.data(), &len, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    value_name.back() = '\0';
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, value_name.data(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
      break;  // a value that is not a string ends the listing
    // One byte more than the data: a stored string need not end in NUL.
    std::vector<char> data(static_cast<std::size_t>(size) + 1, '\0');
    DWORD got = size;
    if (RegQueryValueExA(key, value_name.data(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(data.data()), &got) != ERROR_SUCCESS)
      continue;
    names.emplace_back(data.data());
  }
  RegCloseKey(key);
  return names;
}

bool can_open_port(const std::string& name) {
  HANDLE h = CreateFileA(device_path(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

void raise_current_thread_priority() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
}

}  // namespace kx::serial
