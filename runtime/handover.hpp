// Hands an element's events over from a back-end thread (the serial reader, the system timer)
// to the element thread, and writes the stale-event rule once: an event is dropped when it
// arrives after the run that produced it ended (a close, a stop, a restart) or after its
// element is gone.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

#include "runtime/element_thread.hpp"
#include "runtime/pinned.hpp"

namespace kx {

// A value whose release runs `release`: moved into a handed-over event (and kept nowhere
// else), it runs once the event has been handled, or dropped unrun.
template <class Release>
std::shared_ptr<void> on_release(Release release) {
  return std::shared_ptr<void>(nullptr, [release = std::move(release)](void*) { release(); });
}

template <class Owner>
class HandOver : Pinned {
  // Shared by the owner and every event on its way. `owner` and `generation` are touched on the
  // element thread only; `in_flight` on both.
  struct Shared {
    Owner* owner = nullptr;
    std::uint64_t generation = 0;
    std::atomic<bool> in_flight{false};
  };

 public:
  // What a back-end thread holds for one run: it posts the run's events.
  class Run {
   public:
    Run() = default;

    // Element thread. Whether the owner still exists: what an event's handling fires may
    // destroy it, and then nothing of it may be touched.
    bool owner_alive() const { return shared_ && shared_->owner != nullptr; }
    // Element thread. Whether the owner exists and this is still its current run: the
    // handling of one event may end the run part-way.
    bool current() const { return owner_alive() && shared_->generation == generation_; }

    // Any thread. handle(owner, run) runs on the element thread if, when the event arrives,
    // the owner still exists and this run is still its current one.
    template <class Handle>
    void post(Handle handle) const {
      post_to_element_thread([run = *this, handle = std::move(handle)]() mutable {
        if (run.current()) handle(*run.shared_->owner, run);
      });
    }

    // Element thread. As post, but handle runs when the task running now ends, before any
    // other task (ElementThread::at_step_end).
    template <class Handle>
    void at_step_end(Handle handle) const {
      at_element_step_end([run = *this, handle = std::move(handle)]() mutable {
        if (run.current()) handle(*run.shared_->owner, run);
      });
    }

    // Any thread. As post, but while an earlier event posted this way has not been handled (or
    // dropped) yet, this one is dropped at once: events never pile up behind a busy element
    // thread.
    template <class Handle>
    void post_one(Handle handle) const {
      if (shared_->in_flight.exchange(true)) return;
      // Clears the flag when the event has been handled, or when the hand-over is dropped
      // unrun (no element thread, or a queue destroyed with it still queued).
      auto hold = std::shared_ptr<void>(
          nullptr, [shared = shared_](void*) { shared->in_flight.store(false); });
      post([hold, handle = std::move(handle)](Owner& owner, const Run& run) mutable {
        handle(owner, run);
      });
    }

   private:
    friend class HandOver;
    Run(std::shared_ptr<Shared> shared, std::uint64_t generation)
        : shared_(std::move(shared)), generation_(generation) {}
    std::shared_ptr<Shared> shared_;
    std::uint64_t generation_ = 0;
  };

  explicit HandOver(Owner* owner) : shared_(std::make_shared<Shared>()) { shared_->owner = owner; }
  // Events still on their way find no owner and are dropped.
  ~HandOver() { shared_->owner = nullptr; }

  // Element thread. A new run: events of earlier runs are dropped from now on.
  Run begin_run() { return Run(shared_, ++shared_->generation); }
  // Element thread. The current run ends: its events still on their way are dropped.
  void end_run() { ++shared_->generation; }
  // Whether an event posted with post_one is on its way.
  bool in_flight() const { return shared_->in_flight.load(); }

 private:
  std::shared_ptr<Shared> shared_;
};

}  // namespace kx
