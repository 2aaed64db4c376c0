// TKxMMTimer: periodic ticks with a given interval, stopping itself after StopAfter ticks.
//
// The system timer ticks on a thread of its own and only hands each tick over to the element
// thread; the tick's work (counting, onTimer, the self-stop) runs there. `busy` is set from
// the hand-over to the end of the tick's handling: a tick that finds it set is dropped, so
// ticks never pile up behind a blocked element thread. A tick handed over before a stop, a
// restart or the element's destruction is dropped when it arrives.
//
// A tick yields to input that has already arrived (runtime/input_pending.hpp): while some is
// pending, the tick goes to the back of the element thread's queue again, behind the input's
// events, for at most kInputYield; `busy` stays set meanwhile. A watchdog counting these ticks
// then never blames a silent device for bytes that wait for the tool.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "elements/timer/mmtimer_backend.hpp"
#include "runtime/handover.hpp"
#include "runtime/pinned.hpp"
#include "runtime/tdata.hpp"

namespace kx {

class TKxMMTimer : Pinned {
 public:
  TKxMMTimer();
  // A timer on a given back-end (tests drive ticks by hand with it).
  explicit TKxMMTimer(std::unique_ptr<MMTimerBackend> backend);
  // Stops the system timer without onStop.
  ~TKxMMTimer();
  // Another back-end for a timer a scheme made (tests give its ticks by hand); a running
  // system timer is stopped first, without onStop.
  void use_backend(std::unique_ptr<MMTimerBackend> backend);

  std::int32_t remaining = 0;  // ticks left before the self-stop; negative: no limit
  EventLink onTimer;           // NULL on every tick
  EventLink onStop;            // NULL whenever the element stops (not at destruction)

  // Used at the next start of the system timer.
  void set_Resolution(std::uint32_t ms) { resolution_ = ms; }
  // Takes effect at the next start; a running timer keeps its interval.
  void set_Interval(std::uint32_t ms) { interval_ = ms; }
  // Starts or stops the system timer without any event.
  void set_Enabled(bool on);
  // Sets StopAfter and remaining; 0 or less: never stops by itself.
  void set_StopAfter(std::int32_t n) {
    stop_after_ = n;
    remaining = n;
  }

  std::uint32_t Resolution() const { return resolution_; }
  std::uint32_t Interval() const { return interval_; }
  std::int32_t StopAfter() const { return stop_after_; }
  bool running() const { return running_; }
  bool busy() const;

  // How long a tick yields to pending input at most.
  static constexpr std::chrono::milliseconds kInputYield{200};

  // remaining = StopAfter; starts the system timer unless it runs (a running one keeps its
  // phase).
  void doStart(TData& d, std::uint16_t index);
  // Stops the system timer if it runs, then fires onStop (also when it was stopped).
  void doStop(TData& d, std::uint16_t index);

 private:
  void start_system_timer();
  void stop_system_timer();
  using Run = HandOver<TKxMMTimer>::Run;
  void arrive(const Run& run);
  void yield_or_handle(const Run& run, std::chrono::steady_clock::time_point since, int yields);
  void handle_tick(const Run& run);

  HandOver<TKxMMTimer> handover_;
  std::unique_ptr<MMTimerBackend> backend_;
  std::uint32_t interval_ = 1000;
  std::uint32_t resolution_ = 0;
  std::int32_t stop_after_ = 0;
  bool running_ = false;
  bool yielding_ = false;  // a tick waits behind pending input
};

}  // namespace kx
