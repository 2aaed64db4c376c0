#include "elements/timer/mm_timer.hpp"

#include <utility>

#include "runtime/element_thread.hpp"

namespace kx {

// Shared by the element and every tick on its way to the element thread, so a tick that
// arrives after the element is gone finds `element` null instead of a dangling pointer.
// `element` and `generation` are touched on the element thread only; `busy` on both.
struct TKxMMTimer::Shared {
  std::atomic<bool> busy{false};
  TKxMMTimer* element = nullptr;
  std::uint64_t generation = 0;  // changes at every start and stop of the system timer
};

namespace {

// Holds `busy` for one handed-over tick and clears it when the tick has been handled, or
// when the hand-over is dropped (no element thread, or a queue destroyed unrun).
class BusyHold {
 public:
  explicit BusyHold(std::shared_ptr<TKxMMTimer::Shared> shared) : shared_(std::move(shared)) {}
  ~BusyHold() { release(); }
  BusyHold(const BusyHold&) = delete;
  BusyHold& operator=(const BusyHold&) = delete;
  void release() {
    if (shared_) shared_->busy.store(false);
    shared_.reset();
  }

 private:
  std::shared_ptr<TKxMMTimer::Shared> shared_;
};

}  // namespace

TKxMMTimer::TKxMMTimer() : TKxMMTimer(make_mmtimer_backend()) {}

TKxMMTimer::TKxMMTimer(std::unique_ptr<MMTimerBackend> backend)
    : shared_(std::make_shared<Shared>()), backend_(std::move(backend)) {
  shared_->element = this;
}

TKxMMTimer::~TKxMMTimer() {
  stop_system_timer();
  shared_->element = nullptr;
}

bool TKxMMTimer::busy() const {
  return shared_->busy.load();
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
  const std::uint64_t generation = ++shared_->generation;
  std::weak_ptr<Shared> weak = shared_;
  // Runs on the back-end's thread: only the hand-over, never element code.
  auto tick = [weak, generation] {
    std::shared_ptr<Shared> shared = weak.lock();
    if (!shared || shared->busy.exchange(true)) return;  // the previous tick is still on its way
    auto hold = std::make_shared<BusyHold>(shared);
    post_to_element_thread([shared, hold, generation] {
      handle_tick(shared, generation);
      hold->release();
    });
  };
  running_ = backend_->start(interval_, resolution_, std::move(tick));
}

void TKxMMTimer::stop_system_timer() {
  if (!running_) return;
  backend_->stop();
  running_ = false;
  ++shared_->generation;  // ticks already handed over are dropped when they arrive
}

void TKxMMTimer::handle_tick(const std::shared_ptr<Shared>& shared, std::uint64_t generation) {
  TKxMMTimer* self = shared->element;
  if (self == nullptr || generation != shared->generation) return;
  if (self->remaining >= 0) --self->remaining;
  fire_null(self->onTimer);
  // Whatever ran behind onTimer may have destroyed the element.
  if (shared->element != self) return;
  if (self->remaining == 0) {
    self->stop_system_timer();
    fire_null(self->onStop);
  }
}

}  // namespace kx
