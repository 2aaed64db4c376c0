// Win32 serial back-end, the reader's wait for port events: WaitCommEvent kept armed on a
// record of its own, bytes already queued reported without waiting, and a stop that ends the
// wait at once where the driver allows it.
#include <windows.h>

#include <mutex>
#include <shared_mutex>

#include "elements/serial/port.hpp"
#include "elements/serial/port_win32.hpp"
#include "elements/serial/port_words_win32.hpp"

namespace kx::serial::win32 {

bool Win32Port::set_watched_events(PortEvents events) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  // Setting the mask completes a pending WaitCommEvent (with no event bits).
  if (!usable() || !SetCommMask(h_, event_bits(events))) return false;
  watched_.store(events);
  // Received bytes alone are waited for by reading: the handle's time-outs follow.
  return reads_by_waiting() == reading() || apply_timeouts();
}

// The wait for port events is armed once and stays armed until it completes: a call that
// reports bytes found in the queue leaves it pending for the next call.
WaitResult Win32Port::wait_event(PortEvents& events) {
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  events = {};
  if (stop_.load()) {
    if (wait_armed_) settle_wait();
    settle_read();
    return WaitResult::Stopped;
  }
  if (!usable() || wait_abandoned_) return WaitResult::Failed;
  if (reading()) {
    if (wait_armed_) settle_wait();
    return wait_by_reading(events);
  }
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
void Win32Port::stop_waiting() {
  stop_.store(true);
  std::shared_lock<std::shared_timed_mutex> gate(gate_);
  if (h_ == INVALID_HANDLE_VALUE) return;
  CancelIoEx(h_, &wait_->ov);
  std::lock_guard<std::mutex> lock(inbox_mutex_);
  if (read_armed_) CancelIoEx(h_, &read_->ov);
}

void Win32Port::settle_wait() {
  wait_armed_ = false;
  CancelIoEx(h_, &wait_->ov);
  if (WaitForSingleObject(wait_->ov.hEvent, kWaitCancelBoundMs) != WAIT_OBJECT_0)
    wait_abandoned_ = true;
}

bool Win32Port::unreported_input() {
  if (!watched_.load().has(PortEvent::RxChar)) return false;
  COMSTAT stat{};
  if (!look(stat)) return false;
  const std::uint64_t consumed = consumed_.load();
  DWORD queued = stat.cbInQue;
  {
    std::lock_guard<std::mutex> lock(inbox_mutex_);
    queued += static_cast<DWORD>(inbox_.size());  // left by an earlier wait by reading
  }
  const bool fresh = queued > 0 && (queued != seen_queue_ || consumed != seen_consumed_);
  seen_queue_ = queued;
  seen_consumed_ = consumed;
  return fresh;
}

}  // namespace kx::serial::win32
