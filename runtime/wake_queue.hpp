// The hand-over of tasks to a thread that sleeps in a system wait (the window thread in its
// message loop): a queue, and a wake-up that makes the sleeping thread run what is queued. The
// wake-up exists only once the thread can be woken (the window that hears it exists): tasks
// handed over before that wait, and the thread is woken for them as soon as it can be. At most
// one wake-up is outstanding; none is ever lost, whatever the order of posts, connecting and
// runs. Thread-safe; run_pending() on the woken thread only.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include "runtime/element_thread.hpp"

namespace kx {

class WakeQueue : public ElementThread {
 public:
  // Asks the sleeping thread to call run_pending(); false when it could not be asked. Called
  // under the queue's lock: it must not block or call back into the queue.
  using Wake = std::function<bool()>;

  void post(std::function<void()> task) override;
  // The thread can be woken from now on: tasks already waiting get their wake-up now.
  void connect_wake(Wake wake);
  // The thread can no longer be woken (its window is going): tasks wait again.
  void disconnect_wake();
  // Runs the tasks queued when it is called; those queued meanwhile get a wake-up of their own.
  void run_pending();
  // Asks again for tasks still waiting without a wake-up (one that the system refused).
  void rewake();
  // The woken thread found nothing to wake it for a while (its queue of messages stayed empty):
  // a wake-up still counted as on its way was lost, and tasks waiting get a new one. (One that
  // was on its way after all makes a second run, which finds nothing or less to do.)
  void recover();
  // Drops every task.
  void clear();
  std::size_t pending() const;

 private:
  void wake_if_waiting();  // under mutex_

  mutable std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  Wake wake_;
  bool signalled_ = false;  // a wake-up is on its way and has not been answered yet
};

}  // namespace kx
