#include "runtime/wake_queue.hpp"

#include <utility>

namespace kx {

void WakeQueue::wake_if_waiting() {
  if (signalled_ || tasks_.empty() || !wake_) return;
  signalled_ = wake_();
}

void WakeQueue::post(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.push_back(std::move(task));
  wake_if_waiting();
}

void WakeQueue::connect_wake(Wake wake) {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_ = std::move(wake);
  signalled_ = false;
  wake_if_waiting();
}

void WakeQueue::disconnect_wake() {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_ = nullptr;
  signalled_ = false;
}

void WakeQueue::run_pending() {
  std::size_t n = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
    n = tasks_.size();
  }
  // Only the tasks queued now: those queued meanwhile wait behind what the thread was woken
  // for before them.
  for (std::size_t i = 0; i < n; ++i) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (tasks_.empty()) break;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    run_step(task);
  }
  rewake();
}

void WakeQueue::rewake() {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_if_waiting();
}

void WakeQueue::recover() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
  wake_if_waiting();
}

void WakeQueue::clear() {
  std::deque<std::function<void()>> dropped;
  std::lock_guard<std::mutex> lock(mutex_);
  dropped.swap(tasks_);
  signalled_ = false;
}

std::size_t WakeQueue::pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tasks_.size();
}

}  // namespace kx
