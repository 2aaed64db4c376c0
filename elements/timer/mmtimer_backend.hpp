// The system timer behind TKxMMTimer: periodic ticks on a thread of the back-end's own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace kx {

class MMTimerBackend {
 public:
  virtual ~MMTimerBackend() = default;
  // Starts periodic ticks, the first one interval_ms after the call; `tick` runs on the
  // back-end's thread and must not block. Returns false when the system refuses (an interval
  // of 0 is refused). Starting a running timer is the caller's mistake: stop it first.
  virtual bool start(std::uint32_t interval_ms, std::uint32_t resolution_ms,
                     std::function<void()> tick) = 0;
  // Stops the ticks; once it returns no tick runs or will run. Stopping a stopped timer is
  // harmless.
  virtual void stop() = 0;
};

// The platform's timer: timeSetEvent on Windows, a steady-clock thread elsewhere.
std::unique_ptr<MMTimerBackend> make_mmtimer_backend();

}  // namespace kx
