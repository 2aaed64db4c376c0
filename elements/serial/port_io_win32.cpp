// Win32 serial back-end, reads and writes: each an overlapped transfer with a record and an
// event of its own, waited for in slices up to a bound the port's time-outs give, and the
// bounded wait for written bytes to leave.
#include <windows.h>

#include <memory>
#include <mutex>
#include <shared_mutex>

#include "elements/serial/port.hpp"
#include "elements/serial/port_win32.hpp"

namespace kx::serial::win32 {

Io Win32Port::read(std::size_t count, std::string& out) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  out.clear();
  if (!usable() || gone_.load()) return Io::Refused;
  if (count > 0x7FFFFFFF) count = 0x7FFFFFFF;
  {
    // What the reader's pending read brought comes first; while the reader waits by reading,
    // it is all there is (the element's reads return at once with what has come).
    std::lock_guard<std::mutex> lock(inbox_mutex_);
    if (read_armed_ && HasOverlappedIoCompleted(&read_->ov)) {
      bool complete = false;
      DWORD moved = 0;
      collect_read(complete, moved);
    }
    take_inbox(count, out);
    if (out.size() == count || reading()) return Io::Done;
  }
  count -= out.size();
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
  std::string rest;
  const Io r = run(tr, false, static_cast<DWORD>(count), bound, n, &rest);
  out += rest;
  return r;
}

Io Win32Port::write(const std::string& bytes, std::size_t& written) {
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

bool Win32Port::drain_output(std::chrono::milliseconds bound) {
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

ULONGLONG Win32Port::driver_bound(std::uint32_t multiplier, std::uint32_t constant,
                                  std::size_t count, std::uint32_t interval) {
  ULONGLONG total = static_cast<ULONGLONG>(multiplier) * count + constant;
  if (multiplier == MAXDWORD || constant == MAXDWORD) total = 0;
  if (total == 0 && interval != 0 && interval != MAXDWORD)
    total = static_cast<ULONGLONG>(interval) * (count + 1);
  return (total == 0 ? kNoTimeoutBoundMs : total) + kMarginMs;
}

void Win32Port::settle(OVERLAPPED* ov, bool* abandoned) {
  CancelIoEx(h_, ov);
  if (WaitForSingleObject(ov->hEvent, kCancelBoundMs) != WAIT_OBJECT_0) {
    *abandoned = true;
    gone_.store(true);
  }
}

Transfer* Win32Port::take(bool is_write) {
  std::lock_guard<std::mutex> lock(spare_mutex_);
  std::unique_ptr<Transfer>& slot = spare_[is_write ? 1 : 0];
  if (slot) return slot.release();
  return new Transfer;
}

void Win32Port::give_back(Transfer* tr, bool is_write) {
  // The event needs no reset: ReadFile and WriteFile reset it as they start.
  const HANDLE ev = tr->ov.hEvent;
  tr->ov = OVERLAPPED{};
  tr->ov.hEvent = ev;
  std::lock_guard<std::mutex> lock(spare_mutex_);
  std::unique_ptr<Transfer>& slot = spare_[is_write ? 1 : 0];
  if (slot)
    delete tr;
  else
    slot.reset(tr);
}

Io Win32Port::run(Transfer* tr, bool is_write, DWORD len, ULONGLONG bound, DWORD& n,
                  std::string* received) {
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
    // A transfer the driver ended at once needs no wait on its event.
    if (HasOverlappedIoCompleted(&tr->ov)) break;
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

}  // namespace kx::serial::win32
