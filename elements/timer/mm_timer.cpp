#include "elements/timer/mm_timer.hpp"

#include <thread>
#include <utility>

#include "runtime/element_thread.hpp"
#include "runtime/input_pending.hpp"

namespace kx {

TKxMMTimer::TKxMMTimer() : TKxMMTimer(make_mmtimer_backend()) {}

TKxMMTimer::TKxMMTimer(std::unique_ptr<MMTimerBackend> backend)
    : handover_(this), backend_(std::move(backend)) {}

TKxMMTimer::~TKxMMTimer() {
  stop_system_timer();
}

void TKxMMTimer::use_backend(std::unique_ptr<MMTimerBackend> backend) {
  stop_system_timer();
  backend_ = std::move(backend);
}

bool TKxMMTimer::busy() const {
  return handover_.in_flight() || yielding_;
}

void TKxMMTimer::set_Enabled(bool on) {
  if (on)
    start_system_timer();
  else
    stop_system_timer();
}

void TKxMMTimer::doStart(TData&, std::uint16_t) {
  remaining = stop_after_;
  start_system_timer();
}

void TKxMMTimer::doStop(TData&, std::uint16_t) {
  stop_system_timer();
  fire_null(onStop);
}

void TKxMMTimer::start_system_timer() {
  if (running_) return;  // a running timer keeps its phase
  // Runs on the back-end's thread: only the hand-over, never element code. A tick that finds
  // the previous one still on its way is dropped.
  auto tick = [run = handover_.begin_run()] {
    run.post_one([](TKxMMTimer& self, const Run& r) { self.arrive(r); });
  };
  running_ = backend_->start(interval_, resolution_, std::move(tick));
}

void TKxMMTimer::stop_system_timer() {
  if (!running_) return;
  backend_->stop();
  running_ = false;
  handover_.end_run();  // ticks already handed over are dropped when they arrive
  yielding_ = false;
}

void TKxMMTimer::arrive(const Run& run) {
  if (yielding_) return;  // one tick already waits: this one is dropped, as when busy
  yield_or_handle(run, std::chrono::steady_clock::now(), 0);
}

void TKxMMTimer::yield_or_handle(const Run& run, std::chrono::steady_clock::time_point since,
                                 int yields) {
  if (element_thread() != nullptr && input_pending() &&
      std::chrono::steady_clock::now() - since < kInputYield) {
    yielding_ = true;
    // A reader event already queued runs before the tick comes back. Bytes whose reader has
    // not woken yet need its thread to run: from the second yield on, the element thread
    // gives it a millisecond.
    if (yields > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    run.post([since, yields](TKxMMTimer& self, const Run& r) {
      self.yield_or_handle(r, since, yields + 1);
    });
    return;
  }
  yielding_ = false;
  handle_tick(run);
}

void TKxMMTimer::handle_tick(const Run& run) {
  if (remaining >= 0) --remaining;
  fire_null(onTimer);
  // Whatever ran behind onTimer may have destroyed the element.
  if (!run.owner_alive()) return;
  if (remaining == 0) {
    stop_system_timer();
    fire_null(onStop);
  }
}

}  // namespace kx
