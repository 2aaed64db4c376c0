#include "elements/serial/port_probe.hpp"

#include <condition_variable>
#include <mutex>
#include <utility>

#include "elements/serial/port.hpp"
#include "runtime/element_thread.hpp"

namespace kx::serial {

// What the trial threads and the collector share; it lives as long as the last of them.
struct PortProbe::Round {
  enum : std::uint8_t { kPending, kOpenable, kRefused };
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<std::uint8_t> results;
  bool cancelled = false;
};

// Answers handed over carry the token and the round's number: the element thread drops them
// once the probe is gone (owner cleared) or another round began.
struct PortProbe::Token {
  PortProbe* owner = nullptr;
  std::uint64_t round = 0;
  Answer answer;
  Done done;
};

PortProbe::PortProbe(Check check)
    : check_(check ? std::move(check) : Check(&can_open_port)), token_(std::make_shared<Token>()) {
  token_->owner = this;
}

PortProbe::~PortProbe() {
  cancel();
  token_->owner = nullptr;
}

void PortProbe::stop_collector() {
  if (round_) {
    std::lock_guard<std::mutex> lock(round_->mutex);
    round_->cancelled = true;
    round_->cv.notify_all();
  }
  if (collector_.joinable()) collector_.join();
  round_.reset();
}

void PortProbe::cancel() {
  stop_collector();
  ++token_->round;
  running_ = false;
}

void PortProbe::start(std::vector<std::string> names, std::vector<bool> known,
                      std::chrono::milliseconds bound, Answer answer, Done done) {
  cancel();
  running_ = true;
  token_->answer = std::move(answer);
  token_->done = std::move(done);
  const std::uint64_t number = token_->round;
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
      round->cv.notify_all();
    }).detach();
  }
  round_ = round;
  std::weak_ptr<Token> token = token_;
  collector_ = std::thread([round, names = std::move(names), deadline, token, number] {
    auto hand_over = [&](std::function<void(Token&)> step) {
      post_to_element_thread([token, number, step = std::move(step)] {
        const std::shared_ptr<Token> t = token.lock();
        if (t && t->owner != nullptr && t->round == number) step(*t);
      });
    };
    for (std::size_t i = 0; i < names.size(); ++i) {
      std::unique_lock<std::mutex> lock(round->mutex);
      round->cv.wait_until(
          lock, deadline, [&] { return round->cancelled || round->results[i] != Round::kPending; });
      if (round->cancelled) return;
      // Still pending at the deadline: left out.
      const bool openable = round->results[i] == Round::kOpenable;
      lock.unlock();
      hand_over([name = names[i], openable](Token& t) {
        const Answer call = t.answer;  // the answer may start another round
        call(name, openable);
      });
    }
    hand_over([](Token& t) {
      t.owner->running_ = false;
      const Done call = t.done;
      if (call) call();
    });
  });
}

}  // namespace kx::serial
