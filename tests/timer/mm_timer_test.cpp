#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "elements/timer/mm_timer.hpp"
#include "runtime/element_thread.hpp"
#include "runtime/input_pending.hpp"
#include "tests/common/hand_timer.hpp"

namespace kx {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using testing_timer::tick;
using ManualBackend = testing_timer::HandTimer;

// Counts onTimer and onStop, optionally stopping the timer from inside a tick.
struct Watcher {
  TKxMMTimer* timer = nullptr;
  int ticks = 0, stops = 0;
  int stop_on_tick = -1;
  std::vector<Clock::time_point> tick_times;
  void onTimer(TData&, std::uint16_t) {
    ++ticks;
    tick_times.push_back(Clock::now());
    if (ticks == stop_on_tick) {
      TData d;
      timer->doStop(d, 1);
    }
  }
  void onStop(TData&, std::uint16_t) { ++stops; }
  void attach(TKxMMTimer& t) {
    timer = &t;
    t.onTimer = make_link<&Watcher::onTimer>(0, this);
    t.onStop = make_link<&Watcher::onStop>(0, this);
  }
};

class Timer : public ::testing::Test {
 protected:
  void SetUp() override { enable_pins(); }
  void TearDown() override { disable_pins(); }
  static void start(TKxMMTimer& t) {
    TData d;
    t.doStart(d, 0);
  }
  static void stop(TKxMMTimer& t) {
    TData d;
    t.doStop(d, 1);
  }

  EventQueue queue;
  ScopedElementThread scoped{&queue};
  std::shared_ptr<ManualBackend::State> backend = std::make_shared<ManualBackend::State>();
  std::unique_ptr<TKxMMTimer> make() {
    return std::make_unique<TKxMMTimer>(std::make_unique<ManualBackend>(backend));
  }
};

TEST_F(Timer, SecondStartKeepsTheRunningTimerAndResetsRemaining) {
  auto t = make();
  Watcher w;
  w.attach(*t);
  t->set_Resolution(1);
  t->set_StopAfter(3);
  start(*t);
  EXPECT_EQ(backend->interval, 1000u);
  EXPECT_EQ(backend->resolution, 1u);
  ASSERT_TRUE(tick(*backend));
  queue.drain();
  EXPECT_EQ(t->remaining, 2);
  start(*t);
  EXPECT_EQ(backend->starts, 1);  // not restarted: the phase stays
  EXPECT_EQ(t->remaining, 3);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(tick(*backend));
    queue.drain();
  }
  EXPECT_EQ(w.ticks, 4);
  EXPECT_EQ(w.stops, 1);
}

TEST_F(Timer, StopAfterThreeThenStopsItselfAndStartsAgain) {
  auto t = make();
  Watcher w;
  w.attach(*t);
  t->set_StopAfter(3);
  start(*t);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(tick(*backend));
    queue.drain();
  }
  EXPECT_EQ(w.ticks, 3);
  EXPECT_EQ(w.stops, 1);
  EXPECT_FALSE(t->running());
  EXPECT_EQ(backend->stops, 1);
  EXPECT_FALSE(tick(*backend));

  start(*t);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(tick(*backend));
    queue.drain();
  }
  EXPECT_EQ(w.ticks, 6);
  EXPECT_EQ(w.stops, 2);
}

TEST_F(Timer, StopAfterZeroRunsUntilStopped) {
  auto t = make();
  Watcher w;
  w.attach(*t);
  t->set_StopAfter(0);
  start(*t);
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(tick(*backend));
    queue.drain();
  }
  EXPECT_EQ(w.ticks, 10);
  EXPECT_EQ(w.stops, 0);
  EXPECT_EQ(t->remaining, -1);
  EXPECT_TRUE(t->running());
}

TEST_F(Timer, StopFiresOnStopEvenWhenStopped) {
  auto t = make();
  Watcher w;
  w.attach(*t);
  stop(*t);
  stop(*t);
  EXPECT_EQ(w.stops, 2);
  EXPECT_EQ(backend->stops, 0);  // the system timer was never running
  start(*t);
  stop(*t);
  EXPECT_EQ(w.stops, 3);
  EXPECT_EQ(backend->stops, 1);
}

TEST_F(Timer, EnabledStartsAndStopsWithoutEvents) {
  auto t = make();
  Watcher w;
  w.attach(*t);
  t->set_Enabled(true);
  EXPECT_TRUE(t->running());
  t->set_Enabled(false);
  EXPECT_FALSE(t->running());
  EXPECT_EQ(w.stops, 0);
  EXPECT_EQ(backend->starts, 1);
  EXPECT_EQ(backend->stops, 1);
}

TEST_F(Timer, IntervalChangeWaitsForTheNextStartAndARefusedStartStaysStopped) {
  auto t = make();
  Watcher w;
  w.attach(*t);
  start(*t);
  t->set_Interval(0);
  EXPECT_EQ(backend->interval, 1000u);
  stop(*t);
  start(*t);  // the system refuses an interval of 0
  EXPECT_EQ(backend->starts, 2);
  EXPECT_FALSE(t->running());
  stop(*t);
  EXPECT_EQ(backend->stops, 1);
  EXPECT_EQ(w.stops, 2);
}

TEST_F(Timer, TicksDoNotPileUpBehindABlockedElementThread) {
  auto t = make();
  Watcher w;
  w.attach(*t);
  start(*t);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(tick(*backend));
  EXPECT_TRUE(t->busy());
  EXPECT_EQ(queue.pending(), 1u);
  queue.drain();
  EXPECT_FALSE(t->busy());
  EXPECT_EQ(w.ticks, 1);
  ASSERT_TRUE(tick(*backend));
  queue.drain();
  EXPECT_EQ(w.ticks, 2);
}

// A tick yields to input that has arrived: it is counted after the input's event, which was
// queued behind it; while it waits, it stays busy and later ticks are dropped. Input that stays
// pending holds a tick back for the bound only.
TEST_F(Timer, TickYieldsToInputThatHasArrived) {
  auto t = make();
  Watcher w;
  w.attach(*t);
  bool pending = false;
  InputWatch input([&] { return pending; });
  std::vector<std::string> order;
  start(*t);

  pending = true;
  ASSERT_TRUE(tick(*backend));
  ASSERT_TRUE(queue.run_one(0ms));  // the tick: it yields
  EXPECT_TRUE(t->busy());
  ASSERT_TRUE(tick(*backend));
  ASSERT_TRUE(queue.run_one(0ms));  // the first tick yields again
  ASSERT_TRUE(queue.run_one(0ms));  // the second is dropped: one tick already waits
  queue.post([&] {
    order.push_back("input");
    pending = false;
  });
  queue.drain();
  order.push_back("ticks:" + std::to_string(w.ticks));
  EXPECT_EQ(order, (std::vector<std::string>{"input", "ticks:1"}));
  EXPECT_FALSE(t->busy());

  pending = true;  // and it stays so
  const auto t0 = Clock::now();
  ASSERT_TRUE(tick(*backend));
  ASSERT_TRUE(queue.run_until([&] { return w.ticks == 2; }, 2s));
  EXPECT_GE(Clock::now() - t0, TKxMMTimer::kInputYield);
  EXPECT_LT(Clock::now() - t0, TKxMMTimer::kInputYield + 500ms);
  EXPECT_FALSE(t->busy());

  // A stop while a tick yields drops it.
  ASSERT_TRUE(tick(*backend));
  ASSERT_TRUE(queue.run_one(0ms));
  EXPECT_TRUE(t->busy());
  stop(*t);
  EXPECT_FALSE(t->busy());
  pending = false;
  queue.drain();
  EXPECT_EQ(w.ticks, 2);
}

TEST_F(Timer, TickHandedOverBeforeAStopIsDropped) {
  auto t = make();
  Watcher w;
  w.attach(*t);
  start(*t);
  ASSERT_TRUE(tick(*backend));
  stop(*t);
  start(*t);  // a new run: the old tick still does not count
  queue.drain();
  EXPECT_EQ(w.ticks, 0);
  EXPECT_FALSE(t->busy());
  ASSERT_TRUE(tick(*backend));
  queue.drain();
  EXPECT_EQ(w.ticks, 1);
}

TEST_F(Timer, StopFromInsideATick) {
  auto t = make();
  Watcher w;
  w.attach(*t);
  w.stop_on_tick = 2;
  start(*t);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(tick(*backend));
    queue.drain();
  }
  EXPECT_EQ(w.ticks, 2);
  EXPECT_EQ(w.stops, 1);
  EXPECT_FALSE(t->running());
  EXPECT_FALSE(tick(*backend));
  EXPECT_FALSE(t->busy());
}

TEST_F(Timer, DestructionStopsWithoutOnStopAndDropsTicksOnTheirWay) {
  auto t = make();
  Watcher w;
  w.attach(*t);
  start(*t);
  ASSERT_TRUE(tick(*backend));
  t.reset();
  EXPECT_EQ(backend->stops, 1);
  EXPECT_EQ(queue.drain(), 1u);  // the tick arrives and finds the element gone
  EXPECT_EQ(w.ticks, 0);
  EXPECT_EQ(w.stops, 0);
}

TEST_F(Timer, ElementDestroyedBehindOnTimer) {
  auto t = make();
  struct Destroyer {
    std::unique_ptr<TKxMMTimer>* owner;
    int calls = 0;
    void onTimer(TData&, std::uint16_t) {
      ++calls;
      owner->reset();
    }
  } destroyer{&t};
  t->onTimer = make_link<&Destroyer::onTimer>(0, &destroyer);
  t->set_StopAfter(1);  // the tick would go on to stop and fire onStop
  start(*t);
  ASSERT_TRUE(tick(*backend));
  queue.drain();
  EXPECT_EQ(destroyer.calls, 1);
  EXPECT_EQ(t, nullptr);
}

TEST_F(Timer, WithoutAnElementThreadTicksAreDroppedAndBusyClears) {
  auto t = make();
  Watcher w;
  w.attach(*t);
  start(*t);
  {
    ScopedElementThread none(nullptr);
    ASSERT_TRUE(tick(*backend));
    EXPECT_FALSE(t->busy());
  }
  ASSERT_TRUE(tick(*backend));
  queue.drain();
  EXPECT_EQ(w.ticks, 1);
}

// The system timer of this platform.
class SystemTimer : public Timer {};

TEST_F(SystemTimer, ShortIntervalSelfStop) {
  TKxMMTimer t;
  Watcher w;
  w.attach(t);
  t.set_Interval(15);
  t.set_StopAfter(3);
  const auto begin = Clock::now();
  start(t);
  ASSERT_TRUE(queue.run_until([&] { return w.stops == 1; }, 5s));
  EXPECT_EQ(w.ticks, 3);
  EXPECT_GE(Clock::now() - begin, 45ms);
  ASSERT_EQ(w.tick_times.size(), 3u);
  EXPECT_GE(w.tick_times[0] - begin, 15ms);  // never early
  queue.run_until([] { return false; }, 60ms);
  EXPECT_EQ(w.ticks, 3);
}

TEST_F(SystemTimer, SecondStartKeepsThePhase) {
  TKxMMTimer t;
  Watcher w;
  w.attach(t);
  t.set_Interval(600);
  start(t);
  queue.run_until([] { return false; }, 300ms);
  const auto second = Clock::now();
  start(t);
  ASSERT_TRUE(queue.run_until([&] { return w.ticks == 1; }, 5s));
  // A restart could not tick before a whole interval after the second start (ticks are never
  // early); the kept phase ticks an interval after the first, however late busy cores make it.
  EXPECT_LT(w.tick_times[0], second + 600ms);
  stop(t);
}

TEST_F(SystemTimer, StopInsideATickEndsTheTicks) {
  TKxMMTimer t;
  Watcher w;
  w.attach(t);
  w.stop_on_tick = 2;
  t.set_Interval(10);
  start(t);
  ASSERT_TRUE(queue.run_until([&] { return w.stops == 1; }, 5s));
  queue.run_until([] { return false; }, 80ms);
  EXPECT_EQ(w.ticks, 2);
  EXPECT_EQ(w.stops, 1);
}

TEST_F(SystemTimer, BlockedElementThreadGetsOneTick) {
  TKxMMTimer t;
  Watcher w;
  w.attach(t);
  t.set_Interval(5);
  start(t);
  std::this_thread::sleep_for(120ms);  // the element thread is busy elsewhere
  EXPECT_EQ(queue.pending(), 1u);
  queue.drain();
  EXPECT_EQ(w.ticks, 1);
  stop(t);
}

TEST_F(SystemTimer, DestroyedWhileRunning) {
  Watcher w;
  {
    TKxMMTimer t;
    w.attach(t);
    t.set_Interval(5);
    start(t);
    ASSERT_TRUE(queue.run_until([&] { return w.ticks >= 2; }, 5s));
    std::this_thread::sleep_for(20ms);  // a tick is on its way
  }
  const int seen = w.ticks;
  queue.run_until([] { return false; }, 50ms);
  EXPECT_EQ(w.ticks, seen);
  EXPECT_EQ(w.stops, 0);
}

}  // namespace
}  // namespace kx
