// Win32 serial back-end, waiting by reading: while the reader watches for received bytes only
// and the element's reads return at once with what has come, the reader keeps an overlapped
// read of one byte pending, with a total time-out as its only one: the first byte that arrives
// completes it at once. What else the input queue holds by then (its size comes with the look
// at the port's state, which also keeps the line errors it clears) is read at once, so that a
// run of bytes wakes the reader once, with the bytes in hand. A wait for the bytes-received
// event must be followed by a look at the queue and a read, and under Wine that wait looks at
// the port only every millisecond. Wine does not honour the time-outs meant for this (interval
// and multiplier all ones with a constant: the read then waits for its whole count), and its
// interval time-outs end a read a millisecond or more after the last byte. The bytes wait in
// the inbox until the element reads them. A pulled adapter fails the look after a read.
#include <windows.h>

#include <mutex>
#include <shared_mutex>
#include <string>

#include "elements/serial/port.hpp"
#include "elements/serial/port_win32.hpp"

namespace kx::serial::win32 {

namespace {

// The pending read ends with nothing after this long; the port is then looked at and the read
// started again. It also bounds the read of what the queue holds (which is there already).
constexpr DWORD kPendingReadMs = 500;
// What one read may bring: the input queue the tool asks the driver for.
constexpr DWORD kReadChunk = 4096;
// A read whose event is set while its record still says "pending" is looked at again this many
// times, a millisecond apart, before the port is taken as failed.
constexpr int kIncompleteLooks = 100;

bool returns_at_once(const COMMTIMEOUTS& t) {
  return t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
         t.ReadTotalTimeoutConstant == 0;
}

}  // namespace

bool Win32Port::reads_by_waiting() {
  return watched_.load() == PortEvents{PortEvent::RxChar} && returns_at_once(timeouts());
}

bool Win32Port::reading() {
  std::lock_guard<std::mutex> lock(timeouts_mutex_);
  return handle_reads_waiting_;
}

bool Win32Port::apply_timeouts() {
  COMMTIMEOUTS ct = timeouts();
  bool abandoned = false;
  {
    std::lock_guard<std::mutex> lock(inbox_mutex_);
    abandoned = read_abandoned_;
  }
  const bool waiting = reads_by_waiting() && !abandoned;
  if (waiting) {
    ct.ReadIntervalTimeout = 0;
    ct.ReadTotalTimeoutMultiplier = 0;
    ct.ReadTotalTimeoutConstant = kPendingReadMs;
  }
  if (!SetCommTimeouts(h_, &ct)) {
    last_error_.store(GetLastError());
    return false;
  }
  bool left = false;
  {
    std::lock_guard<std::mutex> lock(timeouts_mutex_);
    left = handle_reads_waiting_ && !waiting;
    handle_reads_waiting_ = waiting;
  }
  if (left) {
    // The reader goes back to waiting for port events: its pending read ends, and what it
    // brought stays in the inbox.
    std::lock_guard<std::mutex> lock(inbox_mutex_);
    if (read_armed_) CancelIoEx(h_, &read_->ov);
  }
  return true;
}

bool Win32Port::arm_read(DWORD count) {
  if (read_abandoned_) return false;
  if (read_ == nullptr) {
    read_ = new Transfer;
    read_->buffer.resize(kReadChunk);
  }
  if (!read_->ov.hEvent) return false;
  const HANDLE ev = read_->ov.hEvent;
  read_->ov = OVERLAPPED{};
  read_->ov.hEvent = ev;
  if (count > kReadChunk) count = kReadChunk;
  if (ReadFile(h_, read_->buffer.data(), count, nullptr, &read_->ov) ||
      GetLastError() == ERROR_IO_PENDING) {
    read_armed_ = true;
    read_armed_at_ = GetTickCount64();
    return true;
  }
  last_error_.store(GetLastError());
  return false;
}

bool Win32Port::collect_read(bool& complete, DWORD& moved) {
  DWORD error = 0;
  return collect_read(complete, moved, error);
}

bool Win32Port::collect_read(bool& complete, DWORD& moved, DWORD& error) {
  complete = true;
  moved = 0;
  error = 0;
  if (!read_armed_) return true;  // collected already
  if (!GetOverlappedResult(h_, &read_->ov, &moved, FALSE)) {
    error = GetLastError();
    if (error == ERROR_IO_INCOMPLETE) {
      complete = false;
      error = 0;
      return true;
    }
    read_armed_ = false;
    last_error_.store(error);
    return false;
  }
  read_armed_ = false;
  inbox_.append(read_->buffer.data(), moved);
  return true;
}

// The waits below run without the inbox lock: the element thread takes it at every tick and
// every read, and must never wait for the driver through it.
void Win32Port::settle_read() {
  HANDLE ev = nullptr;
  {
    std::lock_guard<std::mutex> lock(inbox_mutex_);
    if (!read_armed_) return;
    CancelIoEx(h_, &read_->ov);
    ev = read_->ov.hEvent;
  }
  const bool ended = WaitForSingleObject(ev, kWaitCancelBoundMs) == WAIT_OBJECT_0;
  std::lock_guard<std::mutex> lock(inbox_mutex_);
  if (!read_armed_) return;  // the element's read collected it meanwhile
  bool complete = false;
  DWORD moved = 0;
  if (ended) collect_read(complete, moved);  // what it brought before the cancel is kept
  if (!complete) {
    read_armed_ = false;
    read_abandoned_ = true;  // the driver may still write into the record
  }
}

void Win32Port::take_inbox(std::size_t count, std::string& out) {
  const std::size_t n = count < inbox_.size() ? count : inbox_.size();
  out.append(inbox_, 0, n);
  inbox_.erase(0, n);
  consumed_.fetch_add(n);
}

void Win32Port::read_queued(DWORD count) {
  HANDLE ev = nullptr;
  {
    std::lock_guard<std::mutex> lock(inbox_mutex_);
    if (read_armed_ || !arm_read(count)) return;
    // A read the driver ended at once needs no wait on its event (a call to the server under
    // Wine).
    if (!HasOverlappedIoCompleted(&read_->ov)) ev = read_->ov.hEvent;
  }
  // The bytes are there: the read ends at once, or with the constant at the latest (a stop
  // cancels it sooner).
  if (ev != nullptr && WaitForSingleObject(ev, kPendingReadMs + kSliceMs) != WAIT_OBJECT_0)
    return;  // left pending: the next wait collects it
  std::lock_guard<std::mutex> lock(inbox_mutex_);
  bool complete = false;
  DWORD moved = 0;
  collect_read(complete, moved);  // nothing to do when the element's read collected it
}

WaitResult Win32Port::wait_by_reading(PortEvents& events) {
  int incomplete = 0;
  for (;;) {
    if (stop_.load()) {
      settle_read();
      return WaitResult::Stopped;
    }
    if (!reading()) {
      settle_read();
      return WaitResult::Event;  // the watched set or the time-outs changed; events stays empty
    }
    {
      std::lock_guard<std::mutex> lock(inbox_mutex_);
      if (!read_armed_) {
        // Bytes left in the inbox by a read that took fewer, or taken in by the element's read,
        // that no event reported yet.
        const std::uint64_t consumed = consumed_.load();
        const bool fresh =
            !inbox_.empty() && (inbox_.size() != seen_queue_ || consumed != seen_consumed_);
        seen_queue_ = static_cast<DWORD>(inbox_.size());
        seen_consumed_ = consumed;
        if (fresh) {
          events = {PortEvent::RxChar};
          return WaitResult::Event;
        }
      }
    }
    HANDLE ev = nullptr;
    {
      std::lock_guard<std::mutex> lock(inbox_mutex_);
      if (!read_armed_ && !arm_read(1)) return WaitResult::Failed;
      ev = read_->ov.hEvent;
    }
    bool complete = false;
    bool ok = true;
    DWORD moved = 0;
    DWORD error = 0;  // the read's own: the element thread's calls set last_error_ too
    bool collected_elsewhere = false;
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(inbox_mutex_);
        if (!read_armed_) {
          collected_elsewhere = true;  // the element's read took it in
          break;
        }
        if (HasOverlappedIoCompleted(&read_->ov)) {
          ok = collect_read(complete, moved, error);
          if (complete) break;
        }
      }
      const DWORD r = WaitForSingleObject(ev, kSliceMs);
      if (r == WAIT_OBJECT_0) {
        std::lock_guard<std::mutex> lock(inbox_mutex_);
        if (!read_armed_) {
          collected_elsewhere = true;
          break;
        }
        ok = collect_read(complete, moved, error);
        if (complete) break;
        // The event is set and the record still says "pending": look again shortly.
        if (++incomplete > kIncompleteLooks) {
          last_error_.store(ERROR_IO_INCOMPLETE);
          return WaitResult::Failed;
        }
        Sleep(1);
        continue;
      }
      if (r != WAIT_TIMEOUT) {
        last_error_.store(GetLastError());
        settle_read();
        return WaitResult::Failed;
      }
      if (stop_.load()) {
        settle_read();
        return WaitResult::Stopped;
      }
    }
    incomplete = 0;
    if (collected_elsewhere) continue;
    // Under Wine a read that ends on its time-out with nothing fails with ERROR_TIMEOUT (the
    // system reports it as done with no byte): nothing came.
    if (!ok && error == ERROR_TIMEOUT) ok = true;
    if (!ok) {
      if (stop_.load()) return WaitResult::Stopped;
      // A read ended by a line error (the driver stops reads until the errors are cleared) or
      // by leaving this way of waiting: the look clears and keeps the errors.
      if (error != ERROR_OPERATION_ABORTED) return WaitResult::Failed;
      COMSTAT after{};
      if (!look(after)) {
        last_error_.store(GetLastError());
        return WaitResult::Failed;
      }
      continue;
    }
    // The port's state after every read: a pulled adapter fails the look, and the errors it
    // clears are kept for the element.
    COMSTAT stat{};
    const bool there = look(stat);
    if (moved > 0) {
      if (there && stat.cbInQue > 0) read_queued(stat.cbInQue);
      std::lock_guard<std::mutex> lock(inbox_mutex_);
      seen_queue_ = static_cast<DWORD>(inbox_.size());
      seen_consumed_ = consumed_.load();
      empty_completions_ = 0;
      events = {PortEvent::RxChar};
      return WaitResult::Event;  // a failed look fails the next wait, after these bytes
    }
    if (!there) {
      last_error_.store(GetLastError());
      return WaitResult::Failed;
    }
    // Nothing came within the constant, or the read ended at once with nothing (what a pulled
    // adapter's read does on some systems, where the look tells). Never spin on a driver that
    // ends every read at once.
    if (GetTickCount64() - read_armed_at_ < kPendingReadMs / 2) {
      if (++empty_completions_ > 3) Sleep(10);
    } else {
      empty_completions_ = 0;
    }
  }
}

}  // namespace kx::serial::win32
