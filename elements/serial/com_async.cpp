// TKxComAsync, opening and closing: the port opened with the properties' settings and its
// reader started, the close sequence that lets written bytes leave first, and the port list.
#include "elements/serial/com_async.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

#include "elements/serial/com_name.hpp"
#include "elements/serial/com_reader.hpp"
#include "elements/serial/port_trials.hpp"
#include "runtime/bounded_call.hpp"
#include "runtime/threads.hpp"

namespace kx {

using namespace std::chrono_literals;

namespace {

// How long an open waits for a trial open of the same port (a listing's) and for the teardown
// of an earlier close of it to let the port go.
constexpr auto kHeldWaitBound = 1000ms;

// How long the element thread waits for the open and set-up of a port: what the trial opens of
// a listing get too. A driver that answers opens and sets up a port in a few milliseconds; one
// that hangs (an outgoing wireless port whose partner is off) hangs for many seconds. Together
// with the wait for a trial, an unattended run's 3 s for finding the device still see the
// failed open come.
constexpr auto kOpenBound = 1000ms;

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
  bool lines_known = false;
  if (!open_routine(name, baud, rts, dtr, lines_known)) {
    fire_integer(onOpen, 0);
    return;
  }
  if (lines_known) {
    if (cts_) fire_integer(onCts, 1);
    if (dsr_) fire_integer(onDsr, 1);
    if (rlsd_) fire_integer(onRlsd, 1);
  }
  fire_integer(onOpen, n);
}

bool TKxComAsync::open_routine(const std::string& name, std::int32_t baud, std::int32_t rts,
                               std::int32_t dtr, bool& lines_known) {
  // Neither a trial nor an earlier close's teardown may hold it while we open; one that still
  // does then fails the open as busy.
  serial::wait_for_release(name, kHeldWaitBound);
  const Setup setup{line_settings(baud, dtr, rts), timeouts_from_properties(),
                    events_from_properties(), static_cast<std::uint32_t>(InQueue),
                    static_cast<std::uint32_t>(OutQueue)};
  // The open's thread holds copies only; a port it brings after the bound is closed there.
  BoundedResult<Opened> call = call_bounded<Opened>(
      [open = opener_, name, setup] { return open_and_set_up(open, name, setup); },
      [](Opened& late) {
        if (late.port) late.port->close();
      },
      kOpenBound);
  if (call.outcome != CallOutcome::Done) {
    fail_open({call.outcome == CallOutcome::Late ? serial::OpenProblem::NoAnswer
                                                 : serial::OpenProblem::NoThread,
               0});
    return false;
  }
  Opened& opened = *call.value;
  if (!opened.port) {
    if (opened.why.problem == serial::OpenProblem::None)
      opened.why.problem = serial::OpenProblem::Other;
    fail_open(opened.why);
    return false;
  }
  open_failure_.clear();
  port_failure_.clear();
  port_ = std::move(opened.port);
  told_queue_ = 0;
  input_watch_ = std::make_unique<InputWatch>([this] { return input_pending(); });
  open_ = true;
  run_ = handover_.begin_run();
  timeouts_ = setup.timeouts;
  watched_ = setup.watched;
  if (opened.why.problem != serial::OpenProblem::None) {
    // Opened, but its set-up was refused: the close sequence runs before onOpen 0.
    fail_open(opened.why);
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
  lines_known = opened.lines_known;
  if (lines_known) {
    cts_ = opened.lines.cts;
    dsr_ = opened.lines.dsr;
    rlsd_ = opened.lines.rlsd;
  }
  return true;
}

TKxComAsync::Opened TKxComAsync::open_and_set_up(const Opener& open, const std::string& name,
                                                 const Setup& setup) {
  Opened opened;
  opened.port = open(name, &opened.why);
  serial::Port* port = opened.port.get();
  if (!port) return opened;
  opened.why = {};
  const bool purged = port->purge({.clear_output = true, .clear_input = true});
  port->set_queue_sizes(setup.in_queue, setup.out_queue);  // result ignored
  if (purged && !port->set_settings(setup.settings)) {
    opened.why = {serial::OpenProblem::RateRefused, port->last_os_error()};
    return opened;
  }
  if (!purged || !port->set_timeouts(setup.timeouts) || !port->set_watched_events(setup.watched)) {
    opened.why = {serial::OpenProblem::Other, port->last_os_error()};
    return opened;
  }
  opened.lines_known = port->modem_status(opened.lines);
  return opened;
}

void TKxComAsync::fail_open(serial::OpenError why) {
  open_failure_ = "the port cannot be opened: " + serial::describe(why);
}

void TKxComAsync::note_port_failure(const std::string& what, int os_error) {
  port_failure_ = "the port reported an error: " + what + ", OS error " + std::to_string(os_error);
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
  // The port's own teardown runs on a thread of its own, holding the port and the reader's
  // record: a driver that hangs in it keeps them there, and the element thread goes on. Until
  // it ends, an open of the same port waits for it.
  serial::teardown_started(port_name_);
  std::function<void()> teardown = [port = port_, reader = std::move(reader_), flush = FlushOnClose,
                                    name = port_name_] {
    tear_down(*port, reader.get(), flush);
    serial::teardown_ended(name);
  };
  if (call_bounded(teardown, close_bound(FlushOnClose)) == CallOutcome::NoThread) teardown();
  fire_integer(onCts, 0);
  fire_integer(onDsr, 0);
  fire_integer(onRlsd, 0);
  cts_ = dsr_ = rlsd_ = false;
  input_watch_.reset();
  port_.reset();
  pending_.clear();  // what the close's own events wrote has no port to go to
  open_ = false;
  closing_ = false;
  fire_null(onClosed);
}

void TKxComAsync::tear_down(serial::Port& port, Reader* reader, bool flush) {
  if (reader) {
    port.set_watched_events({});
    stop_reader(port, *reader);
  }
  // What was written leaves before anything is discarded: the last command may have been
  // written a moment before the close. Output that has left is not purged again (on some
  // ports that would take back bytes the other side has not read yet); output that cannot
  // leave within the bound is. FlushOnClose gives it longer; no close waits without a bound.
  const bool drained = port.drain_output(flush ? kFlushDrainBound : kCloseDrainBound);
  port.purge({.abort_output = !drained,
              .abort_input = true,
              .clear_output = !drained,
              .clear_input = true});
  port.close();
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
  const auto deadline = std::chrono::steady_clock::now() + kOpenBound;
  for (std::size_t i = 0; i < names.size(); ++i) {
    // No thread for a trial: its port is left out this time.
    if (trials[i] && serial::openable_by(*trials[i], deadline)) fire_string(onPortName, names[i]);
  }
}

}  // namespace kx
