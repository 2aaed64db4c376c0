// A timer back-end whose ticks the test gives by hand (from any thread), counting starts and
// stops: a test waits for what it means, not for a real interval to pass.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "elements/timer/mmtimer_backend.hpp"

namespace kx::testing_timer {

class HandTimer : public MMTimerBackend {
 public:
  struct State {
    std::mutex mutex;
    std::function<void()> tick;
    int starts = 0, stops = 0;
    std::uint32_t interval = 0, resolution = 0;
  };
  explicit HandTimer(std::shared_ptr<State> s) : s_(std::move(s)) {}
  bool start(std::uint32_t interval, std::uint32_t resolution, std::function<void()> t) override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    ++s_->starts;
    s_->interval = interval;
    s_->resolution = resolution;
    s_->tick = std::move(t);
    return interval != 0;
  }
  void stop() override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    ++s_->stops;
    s_->tick = nullptr;
  }

 private:
  std::shared_ptr<State> s_;
};

// Ticks a hand timer as its system thread would; false when it is not running.
inline bool tick(HandTimer::State& s) {
  std::function<void()> t;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    t = s.tick;
  }
  if (!t) return false;
  t();
  return true;
}

// A hand timer and its state, for a test to keep while the timer is owned elsewhere.
inline std::unique_ptr<HandTimer> hand_timer(const std::shared_ptr<HandTimer::State>& s) {
  return std::make_unique<HandTimer>(s);
}

}  // namespace kx::testing_timer
