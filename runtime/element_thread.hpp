// The one thread that runs element code. Other threads (the serial reader, the timer) never
// call into elements: they hand each event over, in order, through post().
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "runtime/pinned.hpp"

namespace kx {

class ElementThread {
 public:
  virtual ~ElementThread() = default;
  // Thread-safe; tasks run on the element thread in the order they were posted.
  virtual void post(std::function<void()> task) = 0;
  // Element thread only. `fn` runs when the task running now (the step) ends: before any other
  // task and before the thread waits again. Outside a task it is posted.
  void at_step_end(std::function<void()> fn);

 protected:
  // Runs one task, then what it left for its end. A task that runs tasks itself (a nested
  // loop) first lets what it left so far run.
  void run_step(std::function<void()>& task);

 private:
  void run_step_ends();

  std::vector<std::function<void()>> step_end_;
  int depth_ = 0;
};

// The element thread in use (set by the toolkit's message loop, or by a test's queue).
void set_element_thread(ElementThread* thread);
ElementThread* element_thread();
// Posts to the current element thread; dropped when there is none.
void post_to_element_thread(std::function<void()> task);
// Element thread: ElementThread::at_step_end of the current one; dropped when there is none.
void at_element_step_end(std::function<void()> fn);

// A plain queue drained by whoever owns it: the headless toolkit's loop and the tests.
class EventQueue : public ElementThread {
 public:
  void post(std::function<void()> task) override;
  // Runs every task queued now (and those they post) until the queue is empty.
  std::size_t drain();
  // Runs tasks as they come until pred() holds or the time-out passes; returns pred().
  bool run_until(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
  // Waits up to timeout for one task and runs it; false when none came.
  bool run_one(std::chrono::milliseconds timeout);
  std::size_t pending() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
};

// Installs a queue as the element thread for a scope (tests).
class ScopedElementThread : Pinned {
 public:
  explicit ScopedElementThread(ElementThread* t) : previous_(element_thread()) {
    set_element_thread(t);
  }
  ~ScopedElementThread() { set_element_thread(previous_); }

 private:
  ElementThread* previous_;
};

}  // namespace kx
