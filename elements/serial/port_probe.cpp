#include "elements/serial/port_probe.hpp"

#include <atomic>
#include <utility>

#include "elements/serial/port.hpp"
#include "elements/serial/port_trials.hpp"

namespace kx::serial {

// What the collector looks at: the trial of every port of the round (nullptr: answered
// already, or no trial could be started). The collector waits for each trial in turn, woken
// when any trial answers or the round is cancelled; a trial thread needs nothing from the
// round. A trial is shared with any other round of the same port while it runs. (Trials
// once ran on detached std::threads: detaching a thread that may already have ended crashed
// MinGW's thread library under Wine now and then. Every thread now starts as
// runtime/threads.hpp says.)
struct PortProbe::Round {
  std::vector<std::shared_ptr<Trial>> trials;
  std::vector<bool> openable;  // the answer of a port without a trial
  std::atomic<bool> cancelled{false};
};

PortProbe::PortProbe(Check check)
    : check_(check ? std::move(check) : Check(&can_open_port)), handover_(this) {}

PortProbe::~PortProbe() {
  cancel();
}

void PortProbe::stop_collector() {
  if (round_) {
    round_->cancelled.store(true);
    wake_trial_waiters();
  }
  collector_.join();
  round_.reset();
}

void PortProbe::cancel() {
  stop_collector();
  handover_.end_run();  // answers of the abandoned round still on their way are dropped
  running_ = false;
}

void PortProbe::start(std::vector<std::string> names, std::vector<bool> known,
                      std::chrono::milliseconds bound, Answer answer, Done done) {
  cancel();
  running_ = true;
  answer_ = std::move(answer);
  done_ = std::move(done);
  auto round = std::make_shared<Round>();
  round->trials.resize(names.size());
  round->openable.assign(names.size(), false);
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i < known.size() && known[i]) {
      round->openable[i] = true;
      continue;
    }
    // A port whose trial of an earlier round still hangs is not tried again: this round waits
    // on that trial. A trial that cannot be started leaves the port out of this round.
    round->trials[i] = trial_of(names[i], check_);
    if (!round->trials[i]) ++failed_starts_;
  }
  round_ = round;
  const Run run = handover_.begin_run();
  const bool started = collector_.start([round, names = std::move(names), deadline, run] {
    for (std::size_t i = 0; i < names.size(); ++i) {
      bool openable = round->openable[i];
      if (const std::shared_ptr<Trial>& trial = round->trials[i]) {
        // Still pending at the deadline: left out.
        openable = openable_by(*trial, deadline, [&] { return round->cancelled.load(); });
      }
      if (round->cancelled.load()) return;
      run.post([name = names[i], openable](PortProbe& self, const Run&) {
        const Answer call = self.answer_;  // the answer may start another round
        call(name, openable);
      });
    }
    run.post([](PortProbe& self, const Run&) { self.finish(); });
  });
  if (!started) {
    // No collector: the round ends with no port listed, and the next listing tries again.
    ++failed_starts_;
    round_.reset();
    run.post([](PortProbe& self, const Run&) { self.finish(); });
  }
}

void PortProbe::finish() {
  running_ = false;
  const Done call = done_;
  if (call) call();
}

}  // namespace kx::serial
