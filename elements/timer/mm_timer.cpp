#include "elements/timer/mm_timer.hpp"

#include <utility>

#include "runtime/element_thread.hpp"

namespace kx {

TKxMMTimer::TKxMMTimer() : TKxMMTimer(make_mmtimer_backend()) {}

TKxMMTimer::TKxMMTimer(std::unique_ptr<MMTimerBackend> backend)
    : handover_(this), backend_(std::move(backend)) {}

TKxMMTimer::~TKxMMTimer() {
  stop_system_timer();
}

bool TKxMMTimer::busy() const {
  return handover_.in_flight();
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
    run.post_one([](TKxMMTimer& self, const HandOver<TKxMMTimer>::Run& r) { self.handle_tick(r); });
  };
  running_ = backend_->start(interval_, resolution_, std::move(tick));
}

void TKxMMTimer::stop_system_timer() {
  if (!running_) return;
  backend_->stop();
  running_ = false;
  handover_.end_run();  // ticks already handed over are dropped when they arrive
}

void TKxMMTimer::handle_tick(const HandOver<TKxMMTimer>::Run& run) {
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
