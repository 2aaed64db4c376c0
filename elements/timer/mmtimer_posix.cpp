// The system timer on POSIX: a thread that sleeps on the steady clock until the next tick of
// a fixed grid (start + n x interval), so the phase never drifts; ticks it was too late for
// are skipped, not bunched up (two ticks are at least half an interval apart).
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "elements/timer/mmtimer_backend.hpp"
#include "runtime/threads.hpp"

namespace kx {

namespace {

class PosixTimer : public MMTimerBackend {
 public:
  ~PosixTimer() override { stop(); }

  bool start(std::uint32_t interval_ms, std::uint32_t, std::function<void()> tick) override {
    stop();
    if (interval_ms == 0) return false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = false;
    }
    const std::chrono::milliseconds interval(interval_ms);
    return thread_.start([this, interval, tick = std::move(tick)] {
      using clock = std::chrono::steady_clock;
      auto next = clock::now() + interval;
      std::unique_lock<std::mutex> lock(mutex_);
      for (;;) {
        if (cv_.wait_until(lock, next, [this] { return stopping_; })) return;
        lock.unlock();
        tick();
        lock.lock();
        next += interval;
        const auto now = clock::now();
        if (now >= next) next += ((now - next) / interval + 1) * interval;
        // Late by most of an interval: the next point of the grid is skipped too, so two
        // ticks never come less than half an interval apart.
        if (next - now < interval / 2) next += interval;
      }
    });
  }

  void stop() override {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool stopping_ = false;
  JoinedThread thread_;
};

}  // namespace

std::unique_ptr<MMTimerBackend> make_mmtimer_backend() {
  return std::make_unique<PosixTimer>();
}

}  // namespace kx
