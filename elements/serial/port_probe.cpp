#include "elements/serial/port_probe.hpp"

#include <mutex>
#include <utility>

#include "elements/serial/port.hpp"

namespace kx::serial {

// What the trial threads and the collector share; it lives as long as the last of them. The
// collector looks at the results every few milliseconds rather than being woken. A condition
// variable waited on with a deadline and signalled by detached threads corrupted the heap now
// and then in the 32-bit Windows build under Wine (a program with that pattern alone shows it);
// polling needs no such object, and a trial takes milliseconds anyway.
struct PortProbe::Round {
  enum : std::uint8_t { kPending, kOpenable, kRefused };
  std::mutex mutex;
  std::vector<std::uint8_t> results;
  bool cancelled = false;
};

namespace {
constexpr auto kCollectorSlice = std::chrono::milliseconds(2);
}

PortProbe::PortProbe(Check check)
    : check_(check ? std::move(check) : Check(&can_open_port)), handover_(this) {}

PortProbe::~PortProbe() {
  cancel();
}

void PortProbe::stop_collector() {
  if (round_) {
    std::lock_guard<std::mutex> lock(round_->mutex);
    round_->cancelled = true;
  }
  if (collector_.joinable()) collector_.join();
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
  round->results.assign(names.size(), Round::kPending);
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i < known.size() && known[i]) {
      round->results[i] = Round::kOpenable;
      continue;
    }
    // Detached: an open that hangs must not hold anything up; it touches only the round.
    std::thread([round, i, name = names[i], check = check_] {
      const bool ok = check(name);
      std::lock_guard<std::mutex> lock(round->mutex);
      round->results[i] = ok ? Round::kOpenable : Round::kRefused;
    }).detach();
  }
  round_ = round;
  collector_ =
      std::thread([round, names = std::move(names), deadline, run = handover_.begin_run()] {
        for (std::size_t i = 0; i < names.size(); ++i) {
          std::unique_lock<std::mutex> lock(round->mutex);
          while (!round->cancelled && round->results[i] == Round::kPending &&
                 std::chrono::steady_clock::now() < deadline) {
            lock.unlock();
            std::this_thread::sleep_for(kCollectorSlice);
            lock.lock();
          }
          if (round->cancelled) return;
          // Still pending at the deadline: left out.
          const bool openable = round->results[i] == Round::kOpenable;
          lock.unlock();
          run.post([name = names[i], openable](PortProbe& self, const Run&) {
            const Answer call = self.answer_;  // the answer may start another round
            call(name, openable);
          });
        }
        run.post([](PortProbe& self, const Run&) {
          self.running_ = false;
          const Done call = self.done_;
          if (call) call();
        });
      });
}

}  // namespace kx::serial
