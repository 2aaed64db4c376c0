// The system timer on POSIX: a thread that sleeps on the steady clock until the next point of
// a fixed grid (start + n x interval, tick_grid.hpp), so the phase never drifts; points it was
// too late for give one tick, not a burst, and the next point's tick still comes on time.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "elements/timer/mmtimer_backend.hpp"
#include "elements/timer/tick_grid.hpp"
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
      TickGrid grid(TickGrid::Clock::now(), interval);
      std::unique_lock<std::mutex> lock(mutex_);
      for (;;) {
        if (cv_.wait_until(lock, grid.next_point(), [this] { return stopping_; })) return;
        if (!grid.pass(TickGrid::Clock::now())) continue;
        lock.unlock();
        tick();
        lock.lock();
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
