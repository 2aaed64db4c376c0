// TKxComAsync, the reader: the thread that waits for port events and hands each one to the
// element thread, its stop, and the events fired there.
#include <memory>
#include <mutex>
#include <utility>

#include "elements/serial/com_async.hpp"
#include "elements/serial/com_reader.hpp"
#include "runtime/threads.hpp"

namespace kx {

void TKxComAsync::reader_main(std::shared_ptr<serial::Port> port, std::shared_ptr<Reader> reader,
                              Run run) {
  serial::raise_current_thread_priority();
  for (;;) {
    serial::PortEvents events;
    const serial::WaitResult waited = port->wait_event(events);
    if (waited == serial::WaitResult::Failed) {
      // The port is gone (a pulled adapter) or its wait failed: said once, on the element thread.
      run.post([error = port->last_os_error()](TKxComAsync& self, const Run& r) {
        if (self.current(r))
          self.note_port_failure("the port was removed or its wait for events failed", error);
      });
    }
    if (waited != serial::WaitResult::Event) break;
    if (events.empty()) continue;
    {
      std::lock_guard<std::mutex> lock(reader->mutex);
      if (reader->stop) break;
      reader->handled = false;
    }
    // The reader goes on once the event has been handled, or dropped.
    auto handled = on_release([reader] {
      {
        std::lock_guard<std::mutex> lock(reader->mutex);
        reader->handled = true;
      }
      reader->cv.notify_all();
    });
    run.post([events, handled = std::move(handled)](TKxComAsync& self, const Run& r) {
      self.dispatch(events, r);
    });
    std::unique_lock<std::mutex> lock(reader->mutex);
    reader->cv.wait(lock, [&] { return reader->handled || reader->stop; });
    if (reader->stop) break;
  }
  port->set_watched_events({});
  // The input only: what was written is the close sequence's to let leave (or to discard).
  port->purge({.clear_input = true});
  {
    std::lock_guard<std::mutex> lock(reader->mutex);
    reader->done = true;
  }
  reader->cv.notify_all();
}

void TKxComAsync::stop_reader(serial::Port& port, Reader& reader) {
  port.stop_waiting();
  std::unique_lock<std::mutex> lock(reader.mutex);
  reader.stop = true;
  reader.cv.notify_all();
  // A reader that does not leave in time keeps the port object alive through its own
  // reference; it is left behind rather than waited for without end.
  reader.cv.wait_for(lock, kReaderStopBound, [&] { return reader.done; });
}

bool TKxComAsync::input_pending() const {
  if (!open_ || closing_ || !port_) return false;
  if (reader_) {
    std::lock_guard<std::mutex> lock(reader_->mutex);
    if (!reader_->handled) return true;
  }
  std::uint32_t in_queue = 0;
  return port_->queued_input(in_queue) && in_queue > told_queue_;
}

bool TKxComAsync::current(const Run& run) const {
  return open_ && !closing_ && port_ && run.current();
}

void TKxComAsync::dispatch(serial::PortEvents events, const Run& run) {
  using serial::PortEvent;
  if (events.has(PortEvent::RxChar) && current(run)) {
    serial::LineErrors errors;
    std::uint32_t in_queue = 0;
    // The bytes-received event is latched per byte by the drivers: it may arrive after the
    // bytes were read already. Only a non-empty queue is reported.
    if (port_->clear_errors(errors, in_queue) && in_queue > 0) {
      told_queue_ = in_queue;
      fire_integer(onRxChar, clamp_count(in_queue));
    }
  }
  if (events.has(PortEvent::TxEmpty) && current(run)) fire_null(onTxEmpty);
  if (events.has(PortEvent::Break) && current(run)) fire_null(onBreak);
  if (events.has(PortEvent::Ring) && current(run)) fire_null(onRing);
  if (events.has(PortEvent::Cts) && current(run) && read_modem_status())
    fire_integer(onCts, cts_ ? 1 : 0);
  if (events.has(PortEvent::Dsr) && current(run) && read_modem_status())
    fire_integer(onDsr, dsr_ ? 1 : 0);
  if (events.has(PortEvent::RxFlag) && current(run)) fire_null(onRxFlag);
  if (events.has(PortEvent::Rlsd) && current(run) && read_modem_status())
    fire_integer(onRlsd, rlsd_ ? 1 : 0);
  if (events.has(PortEvent::Err) && current(run)) {
    if (!AbortOnError) line_error_check();
    fire_null(onCommError);
  }
  if (events.has(PortEvent::Rx80Full) && current(run)) fire_null(onRx80Full);
}

}  // namespace kx
