#include "elements/serial/com_async.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <utility>

#include "elements/serial/com_name.hpp"
#include "elements/serial/port_trials.hpp"
#include "runtime/element_thread.hpp"
#include "runtime/threads.hpp"

namespace kx {

using namespace std::chrono_literals;

// The reader thread hands one event over at a time and waits until the element thread has
// handled it, so the port is looked at again only after the bytes of the last event were read.
struct TKxComAsync::Reader {
  std::mutex mutex;
  std::condition_variable cv;
  bool stop = false;
  bool handled = true;
  bool done = false;
};

namespace {

// How long the close sequence waits for the reader to leave before leaving it behind; the
// reader only ever blocks in the port wait (woken by stop_waiting) or on the hand-over, unless
// a driver call never returns. Short enough that a close with such a reader ends within 1 s.
constexpr auto kReaderStopBound = 400ms;

// How long a close waits for written bytes to leave the port: far more than the few bytes a
// finished write can leave queued need, short enough that a pulled adapter cannot hang the exit.
constexpr auto kCloseDrainBound = 1000ms;

// How long an open waits for a trial open of the same port (a listing's) to let it go.
constexpr auto kTrialWaitBound = 1000ms;

std::uint8_t byte_index(std::int32_t v) {
  // Out-of-range indices become a value every back-end refuses.
  return (v < 0 || v > 255) ? std::uint8_t{255} : static_cast<std::uint8_t>(v);
}

std::int32_t clamp_count(std::uint32_t n) {
  return n > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())
             ? std::numeric_limits<std::int32_t>::max()
             : static_cast<std::int32_t>(n);
}

}  // namespace

TKxComAsync::TKxComAsync() : TKxComAsync(Opener()) {}

TKxComAsync::TKxComAsync(Opener opener, serial::TrialCheck trial)
    : opener_(opener ? std::move(opener)
                     : Opener([](const std::string& name, serial::OpenError* why) {
                         return serial::open_port(name, why);
                       })),
      trial_(trial ? std::move(trial) : serial::TrialCheck(&serial::can_open_port)) {}

TKxComAsync::~TKxComAsync() {
  close_sequence();
}

int TKxComAsync::port_number(const std::string& name) {
  return serial::com_port_number(name);
}

serial::LineSettings TKxComAsync::line_settings(std::int32_t baud, std::int32_t dtr,
                                                std::int32_t rts) const {
  using serial::LineControl;
  serial::LineSettings s;
  s.baud = static_cast<std::uint32_t>(baud);
  // Out-of-range property numbers become values valid() refuses.
  s.data_bits = byte_index(DataBits < 0 || DataBits > 250 ? -1 : DataBits + 5);
  s.parity = static_cast<serial::Parity>(byte_index(Parity));
  s.stop_bits = static_cast<serial::StopBits>(byte_index(StopBits));
  s.check_parity = ParityCheck;
  if (ParityCheck && ErrorReplace) s.error_replacement = static_cast<char>(ErrorChar & 0xFF);
  s.discard_null = DiscardNull;
  s.abort_on_error = AbortOnError;
  s.event_char = static_cast<char>(EventChar & 0xFF);
  serial::FlowControl& f = s.flow;
  f.cts_gates_output = OutxCtsFlow;
  f.dsr_gates_output = OutxDsrFlow;
  f.dsr_gates_input = DsrSensitivity;
  f.xon_xoff_output = OutX;
  f.xon_xoff_input = InX;
  f.output_continues_after_xoff = TxContinueOnXoff;
  f.dtr =
      (dtr >= kLineOff && dtr <= kLineHandshake) ? static_cast<LineControl>(dtr) : LineControl::Off;
  f.rts = (rts >= kLineOff && rts <= kRtsToggle) ? static_cast<LineControl>(rts) : LineControl::Off;
  f.xon_limit = f.xoff_limit = static_cast<std::uint16_t>(InQueue / 4);
  f.xon_char = static_cast<char>(XonChar & 0xFF);
  f.xoff_char = static_cast<char>(XoffChar & 0xFF);
  return s;
}

serial::PortEvents TKxComAsync::events_from_properties() const {
  using serial::PortEvent;
  serial::PortEvents e;
  if (EvRxChar) e.add(PortEvent::RxChar);
  if (EvRxFlag) e.add(PortEvent::RxFlag);
  if (EvTxEmpty) e.add(PortEvent::TxEmpty);
  if (EvCts) e.add(PortEvent::Cts);
  if (EvDsr) e.add(PortEvent::Dsr);
  if (EvRlsd) e.add(PortEvent::Rlsd);
  if (EvBreak) e.add(PortEvent::Break);
  if (EvErr) e.add(PortEvent::Err);
  if (EvRing) e.add(PortEvent::Ring);
  if (EvRx80Full) e.add(PortEvent::Rx80Full);
  return e;
}

serial::Timeouts TKxComAsync::timeouts_from_properties() const {
  using Wait = serial::ReadTimeouts::Wait;
  using std::chrono::milliseconds;
  constexpr std::uint32_t kAllOnes = 0xFFFFFFFFu;
  serial::Timeouts t;
  serial::ReadTimeouts& r = t.read;
  if (ReadIntervalTimeout == kAllOnes && ReadTotalTimeoutMultiplier == 0 &&
      ReadTotalTimeoutConstant == 0) {
    r.wait = Wait::Immediate;
  } else if (ReadIntervalTimeout == kAllOnes && ReadTotalTimeoutMultiplier == kAllOnes &&
             ReadTotalTimeoutConstant != 0 && ReadTotalTimeoutConstant != kAllOnes) {
    r.wait = Wait::FirstByte;
    r.constant = milliseconds(ReadTotalTimeoutConstant);
  } else {
    r.per_byte = milliseconds(ReadTotalTimeoutMultiplier);
    r.constant = milliseconds(ReadTotalTimeoutConstant);
    r.gap = milliseconds(ReadIntervalTimeout);
  }
  t.write.per_byte = milliseconds(WriteTotalTimeoutMultiplier);
  t.write.constant = milliseconds(WriteTotalTimeoutConstant);
  return t;
}

void TKxComAsync::doOpen(TData& d, std::uint16_t) {
  if (open_) return;
  fire_null(onOpening);
  std::string name = read_string(d, dataPort, Port);
  port_name_ = name;
  const int n = port_number(name);
  if (n == 0) {
    fail_open({serial::OpenProblem::NoSuchPort, 0});
    fire_integer(onOpen, 0);
    return;
  }
  const std::int32_t dtr = read_integer(d, dataDtrControl, DtrControl);
  const std::int32_t rts = read_integer(d, dataRtsControl, RtsControl);
  const std::int32_t baud = read_integer(d, dataBaud, Baud);
  if (!open_routine(name, baud, rts, dtr)) {
    fire_integer(onOpen, 0);
    return;
  }
  if (read_modem_status()) {
    if (cts_) fire_integer(onCts, 1);
    if (dsr_) fire_integer(onDsr, 1);
    if (rlsd_) fire_integer(onRlsd, 1);
  }
  fire_integer(onOpen, n);
}

bool TKxComAsync::open_routine(const std::string& name, std::int32_t baud, std::int32_t rts,
                               std::int32_t dtr) {
  serial::wait_for_trials(name, kTrialWaitBound);  // a trial must not hold it while we open
  serial::OpenError why;
  std::unique_ptr<serial::Port> opened = opener_(name, &why);
  if (!opened) {
    if (why.problem == serial::OpenProblem::None) why.problem = serial::OpenProblem::Other;
    fail_open(why);
    return false;
  }
  open_failure_.clear();
  port_failure_.clear();
  port_ = std::move(opened);
  told_queue_ = 0;
  input_watch_ = std::make_unique<InputWatch>([this] { return input_pending(); });
  open_ = true;
  run_ = handover_.begin_run();

  const serial::LineSettings settings = line_settings(baud, dtr, rts);

  timeouts_ = timeouts_from_properties();
  watched_ = events_from_properties();

  bool ok = port_->purge({.clear_output = true, .clear_input = true});
  port_->set_queue_sizes(static_cast<std::uint32_t>(InQueue),
                         static_cast<std::uint32_t>(OutQueue));  // result ignored
  if (ok && !port_->set_settings(settings)) {
    fail_open({serial::OpenProblem::RateRefused, port_->last_os_error()});
    close_sequence();
    return false;
  }
  ok = ok && port_->set_timeouts(timeouts_) && port_->set_watched_events(watched_);
  if (!ok) {
    fail_open({serial::OpenProblem::Other, port_->last_os_error()});
    close_sequence();
    return false;
  }

  if (!watched_.empty()) {
    auto reader = std::make_shared<Reader>();
    // Unwaited: a driver call may never return; the reader holds the port and its record.
    if (!start_unwaited_thread(
            [port = port_, reader, run = run_] { reader_main(port, reader, run); })) {
      // Without a reader the port would be open but deaf: close it and report the failure.
      fail_open({serial::OpenProblem::NoThread, 0});
      close_sequence();
      return false;
    }
    reader_ = std::move(reader);
  }
  return true;
}

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

void TKxComAsync::fail_open(serial::OpenError why) {
  open_failure_ = "the port cannot be opened: " + serial::describe(why);
}

void TKxComAsync::note_port_failure(const std::string& what, int os_error) {
  port_failure_ = "the port reported an error: " + what + ", OS error " + std::to_string(os_error);
}

void TKxComAsync::stop_reader() {
  std::shared_ptr<Reader> reader = std::move(reader_);
  if (!reader) return;
  port_->stop_waiting();
  std::unique_lock<std::mutex> lock(reader->mutex);
  reader->stop = true;
  reader->cv.notify_all();
  // A reader that does not leave in time keeps the port object alive through its own
  // reference; it is left behind rather than waited for without end.
  reader->cv.wait_for(lock, kReaderStopBound, [&] { return reader->done; });
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

bool TKxComAsync::read_modem_status() {
  if (!open_ || !port_) return false;
  serial::ModemLines lines;
  if (!port_->modem_status(lines)) return false;
  cts_ = lines.cts;
  dsr_ = lines.dsr;
  rlsd_ = lines.rlsd;
  return true;
}

void TKxComAsync::line_error_check() {
  if (!open_ || !port_) return;
  serial::LineErrors errors;
  std::uint32_t in_queue = 0;
  if (!port_->clear_errors(errors, in_queue)) return;
  errors_.clear();
  if (errors.framing) errors_.emplace_back("Receive Framing Error");
  if (errors.parity && ParityCheck) errors_.emplace_back("Receive Parity Error");
  if (errors.overrun) errors_.emplace_back("Receive Overrun Error");
  if (errors.input_overflow) errors_.emplace_back("Receive Queue overflow");
  if (errors.output_full) errors_.emplace_back("TX Queue is full");
  if (errors.break_received) errors_.emplace_back("Break Detected");
  if (errors.io) errors_.emplace_back("Port I/O Error");
  if (errors.mode) errors_.emplace_back("Requested mode unsupported");
  if (!errors_.empty()) {
    std::string what = "line error";
    for (const std::string& e : errors_) what += (&e == &errors_.front() ? ": " : "; ") + e;
    note_port_failure(what, 0);
  }
}

void TKxComAsync::doClose(TData&, std::uint16_t) {
  close_sequence();
}

void TKxComAsync::close_sequence() {
  if (!open_ || closing_) return;
  write_pending();  // what this step wrote leaves before the port goes
  closing_ = true;
  fire_null(onClosing);
  handover_.end_run();  // events still queued from this opening are dropped
  if (reader_) {
    port_->set_watched_events({});
    stop_reader();
  }
  if (FlushOnClose) port_->flush();
  // What was written leaves before anything is discarded: the last command may have been
  // written a moment before the close. Output that has left is not purged again (on some
  // ports that would take back bytes the other side has not read yet); output that cannot
  // leave within the bound is.
  const bool drained = port_->drain_output(kCloseDrainBound);
  port_->purge({.abort_output = !drained,
                .abort_input = true,
                .clear_output = !drained,
                .clear_input = true});
  fire_integer(onCts, 0);
  fire_integer(onDsr, 0);
  fire_integer(onRlsd, 0);
  cts_ = dsr_ = rlsd_ = false;
  input_watch_.reset();
  port_->close();
  port_.reset();
  pending_.clear();  // what the close's own events wrote has no port to go to
  open_ = false;
  closing_ = false;
  fire_null(onClosed);
}

void TKxComAsync::doWrite(TData& d, std::uint16_t) {
  const std::string text = to_string(d);
  if (!open_) return;
  if (text.empty()) {
    // Nothing to gather: the port is asked as it is, and onWritten reports 0 bytes.
    std::size_t written = 0;
    if (port_->write(text, written) != serial::Io::Refused) fire_integer(onWritten, 0);
    return;
  }
  const bool first = pending_.empty();
  pending_ += text;
  if (!first) return;
  // The first bytes of a step: the write goes out when the step ends, after everything the
  // step does. Without an element thread (a bare caller) it goes out at once.
  if (element_thread() == nullptr) {
    write_pending();
    return;
  }
  run_.post([](TKxComAsync& self, const Run& r) {
    if (self.current(r)) self.write_pending();
  });
}

void TKxComAsync::write_pending() {
  if (pending_.empty()) return;
  const std::string bytes = std::move(pending_);
  pending_.clear();
  if (!open_ || !port_) return;
  ++write_calls_;
  std::size_t written = 0;
  switch (port_->write(bytes, written)) {
    case serial::Io::Done:
      fire_integer(onWritten, clamp_count(static_cast<std::uint32_t>(written)));
      break;
    case serial::Io::Failed:
      note_port_failure("a write failed", port_->last_os_error());
      fire_integer(onWritten, 0);
      break;
    case serial::Io::Refused:
      note_port_failure("a write was refused", port_->last_os_error());
      break;
  }
}

void TKxComAsync::doRead(TData& d, std::uint16_t) {
  const std::int32_t count = to_integer(d);
  if (!open_) return;
  std::string bytes;
  // A negative count reads nothing (it is not taken as a huge unsigned size).
  const serial::Io result = port_->read(count > 0 ? static_cast<std::size_t>(count) : 0, bytes);
  told_queue_ -= std::min<std::uint32_t>(told_queue_, static_cast<std::uint32_t>(bytes.size()));
  switch (result) {
    case serial::Io::Done:
      fire_string(onRead, std::move(bytes));
      break;
    case serial::Io::Failed:
      note_port_failure("a read failed", port_->last_os_error());
      fire_string(onRead, std::string());
      break;
    case serial::Io::Refused:
      note_port_failure("a read was refused", port_->last_os_error());
      break;
  }
}

void TKxComAsync::doPortList(TData&, std::uint16_t) {
  const std::vector<std::string> names = serial::installed_ports();
  if (!CheckPorts) {
    for (const std::string& name : names) fire_string(onPortName, name);
    return;
  }
  // The trials run on threads of their own (an open may hang in the driver for good); the
  // element thread waits for their answers with one bound for all.
  std::vector<std::shared_ptr<serial::Trial>> trials;
  for (const std::string& name : names) trials.push_back(serial::trial_of(name, trial_));
  const auto deadline = std::chrono::steady_clock::now() + kTrialWaitBound;
  for (std::size_t i = 0; i < names.size(); ++i) {
    // No thread for a trial: its port is left out this time.
    if (trials[i] && serial::openable_by(*trials[i], deadline)) fire_string(onPortName, names[i]);
  }
}

}  // namespace kx
