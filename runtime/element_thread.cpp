#include "runtime/element_thread.hpp"

#include <atomic>

namespace kx {

namespace {
std::atomic<ElementThread*> g_element_thread{nullptr};
}

void set_element_thread(ElementThread* thread) {
  g_element_thread.store(thread);
}
ElementThread* element_thread() {
  return g_element_thread.load();
}

void post_to_element_thread(std::function<void()> task) {
  if (ElementThread* t = g_element_thread.load()) t->post(std::move(task));
}

void at_element_step_end(std::function<void()> fn) {
  if (ElementThread* t = g_element_thread.load()) t->at_step_end(std::move(fn));
}

void ElementThread::at_step_end(std::function<void()> fn) {
  if (depth_ == 0) {
    post(std::move(fn));
    return;
  }
  step_end_.push_back(std::move(fn));
}

void ElementThread::run_step(std::function<void()>& task) {
  if (depth_ > 0) run_step_ends();
  ++depth_;
  task();
  run_step_ends();
  --depth_;
}

void ElementThread::run_step_ends() {
  // What runs here may leave more for the same end.
  while (!step_end_.empty()) {
    std::vector<std::function<void()>> now;
    now.swap(step_end_);
    for (std::function<void()>& fn : now) fn();
  }
}

void EventQueue::post(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  cv_.notify_one();
}

std::size_t EventQueue::drain() {
  std::size_t n = 0;
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (tasks_.empty()) return n;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    run_step(task);
    ++n;
  }
}

bool EventQueue::run_one(std::chrono::milliseconds timeout) {
  std::function<void()> task;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return !tasks_.empty(); })) return false;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  run_step(task);
  return true;
}

bool EventQueue::run_until(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return pred();
    run_one(std::min<std::chrono::milliseconds>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
            std::chrono::milliseconds(1),
        std::chrono::milliseconds(20)));
  }
  return true;
}

std::size_t EventQueue::pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tasks_.size();
}

}  // namespace kx
