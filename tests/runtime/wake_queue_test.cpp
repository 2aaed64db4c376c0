// The hand-over to a thread woken by a system message (the Win32 window thread): tasks handed
// over before the window exists run once it does, and no wake-up is ever lost.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/element_thread.hpp"
#include "runtime/wake_queue.hpp"

namespace kx {
namespace {

// A stand-in for the window thread: a wake-up is a posted message it waits for; each message
// makes it run what is pending.
class FakeWindowThread {
 public:
  explicit FakeWindowThread(WakeQueue& q) : queue_(q) {}
  WakeQueue::Wake wake() {
    return [this] {
      std::lock_guard<std::mutex> lock(mutex_);
      ++messages_;
      cv_.notify_all();
      return true;
    };
  }
  // Waits for a message (up to `bound`) and handles it; false when none came.
  bool handle_one(std::chrono::milliseconds bound) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!cv_.wait_for(lock, bound, [this] { return messages_ > 0; })) return false;
      --messages_;
    }
    queue_.run_pending();
    return true;
  }
  int messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }

 private:
  WakeQueue& queue_;
  std::mutex mutex_;
  std::condition_variable cv_;
  int messages_ = 0;
};

// The window's creation held back while other threads hand over tasks (the port list's last
// answer among them): once it exists, every task runs, in order, with no further post.
TEST(WakeQueue, TasksHandedOverBeforeTheWindowExistsRunOnceItDoes) {
  WakeQueue queue;
  FakeWindowThread window(queue);
  std::vector<int> ran;
  std::thread early([&] {
    for (int i = 0; i < 3; ++i) queue.post([&ran, i] { ran.push_back(i); });
  });
  early.join();
  EXPECT_EQ(queue.pending(), 3u);
  EXPECT_EQ(window.messages(), 0);
  queue.connect_wake(window.wake());  // the window now exists
  ASSERT_TRUE(window.handle_one(std::chrono::seconds(2)));
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(window.messages(), 0);  // one message for the lot

  // A refused wake-up (a full message queue) is asked again when the thread goes to sleep.
  int refusals = 1;
  queue.connect_wake([&refusals, wake = window.wake()] { return refusals-- <= 0 && wake(); });
  queue.post([&ran] { ran.push_back(3); });
  EXPECT_FALSE(window.handle_one(std::chrono::milliseconds(50)));
  queue.rewake();
  ASSERT_TRUE(window.handle_one(std::chrono::seconds(2)));
  EXPECT_EQ(ran.back(), 3);
  queue.connect_wake(window.wake());

  // A wake-up the system took but never delivered: the idle window thread asks again.
  bool deliver = false;
  queue.connect_wake([&deliver, wake = window.wake()] { return !deliver || wake(); });
  queue.post([&ran] { ran.push_back(5); });
  deliver = true;
  queue.rewake();  // the lost one still counts as on its way
  EXPECT_FALSE(window.handle_one(std::chrono::milliseconds(50)));
  queue.recover();
  ASSERT_TRUE(window.handle_one(std::chrono::seconds(2)));
  EXPECT_EQ(ran.back(), 5);
  queue.connect_wake(window.wake());

  // A window that goes: tasks wait again, and the next window runs them.
  queue.disconnect_wake();
  queue.post([&ran] { ran.push_back(4); });
  EXPECT_FALSE(window.handle_one(std::chrono::milliseconds(50)));
  queue.connect_wake(window.wake());
  ASSERT_TRUE(window.handle_one(std::chrono::seconds(2)));
  EXPECT_EQ(ran.back(), 4);
}

// Posts from several threads racing the window's creation and its runs: every task runs, each
// once. A lost wake-up leaves tasks behind and the wait for them times out.
TEST(WakeQueue, NoWakeUpIsLostWhenPostsRaceTheWindowsCreation) {
  constexpr int kThreads = 4, kEach = 500;
  for (int round = 0; round < 20; ++round) {
    WakeQueue queue;
    FakeWindowThread window(queue);
    std::atomic<int> ran{0};
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
      posters.emplace_back([&] {
        for (int i = 0; i < kEach; ++i) queue.post([&ran] { ++ran; });
      });
    std::this_thread::sleep_for(std::chrono::microseconds(100 * round));
    queue.connect_wake(window.wake());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ran.load() < kThreads * kEach && std::chrono::steady_clock::now() < deadline)
      window.handle_one(std::chrono::milliseconds(200));
    for (std::thread& p : posters) p.join();
    ASSERT_EQ(ran.load(), kThreads * kEach) << "round " << round;
    EXPECT_EQ(queue.pending(), 0u);
  }
}

// What a step leaves for its end (the write of what it gathered) runs when the step ends: before
// tasks queued earlier, after what the step itself does, and before a nested loop runs anything;
// outside a step it is posted. Both queues the element thread runs on keep this.
TEST(ElementThreadSteps, WhatAStepLeavesRunsWhenItEndsBeforeAnyOtherTask) {
  std::string order;
  const auto run_case = [&](ElementThread& thread, const std::function<void()>& run_all) {
    order.clear();
    thread.post([&] {
      order += "A";
      thread.at_step_end([&] {
        order += "h";
        thread.at_step_end([&] { order += "i"; });  // left by a step end: same end
      });
      order += "a";
    });
    thread.post([&] { order += "B"; });
    thread.post([&] {
      thread.at_step_end([&] { order += "j"; });
      order += "C";
      thread.post([&] { order += "D"; });
      run_all();  // a nested loop: "j" first, then what is queued (E, D)
      order += "c";
    });
    thread.at_step_end([&] { order += "E"; });  // no step running: posted
    run_all();
    EXPECT_EQ(order, "AahiBCjEDc");
  };
  EventQueue events;
  run_case(events, [&] { events.drain(); });
  WakeQueue woken;
  run_case(woken, [&] { woken.run_pending(); });
}

}  // namespace
}  // namespace kx
