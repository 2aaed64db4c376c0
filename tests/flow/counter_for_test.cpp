#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "elements/flow/counter.hpp"
#include "elements/flow/for.hpp"
#include "recorder.hpp"
#include "runtime/image_layout.hpp"

namespace kx {
namespace {

using testing_flow::Answer;
using testing_flow::integer;
using testing_flow::LivePins;
using testing_flow::Recorder;
using testing_flow::text;

constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

// Collects integers from an event.
struct Values {
  std::vector<std::int32_t> got;
  void doEvent(TData& d, std::uint16_t) { got.push_back(to_integer(d)); }
  EventLink link() { return make_link<&Values::doEvent>(0, this); }
};

class Counter : public LivePins {
 protected:
  void next(int times = 1) {
    for (int i = 0; i < times; ++i) fire_null(make_link<&TKxCounter::doNext>(0, &cnt));
  }
  TKxCounter cnt;
  Values out;
};

TEST_F(Counter, ZeroToOneAlternates) {
  cnt.Max = 1;
  cnt.Step = 1;
  cnt.onCount = out.link();
  next(4);
  EXPECT_EQ(out.got, (std::vector<std::int32_t>{1, 0, 1, 0}));
}

TEST_F(Counter, ResetGoesBackToMinWithoutAnEvent) {
  cnt.Max = 100;
  cnt.Step = 1;
  cnt.onCount = out.link();
  next(3);
  fire_null(make_link<&TKxCounter::doReset>(0, &cnt));
  EXPECT_EQ(cnt.Value, 0);
  EXPECT_EQ(out.got.size(), 3u);
  next();
  EXPECT_EQ(out.got.back(), 1);
}

TEST_F(Counter, The508thStepOfABlockCounterWrapsToZero) {
  constexpr std::int32_t last = image_layout::kLastBlock;
  constexpr std::size_t blocks = image_layout::kBlockCount;
  cnt.Max = last;
  cnt.Step = 1;
  cnt.onCount = out.link();
  next(static_cast<int>(blocks));
  ASSERT_EQ(out.got.size(), blocks);
  EXPECT_EQ(out.got[0], 1);
  EXPECT_EQ(out.got[blocks - 2], last);
  EXPECT_EQ(out.got[blocks - 1], 0);
}

TEST_F(Counter, WrappingJumpsToTheBoundItIsNotModular) {
  cnt.Max = 1;
  cnt.Step = 2;
  cnt.onCount = out.link();
  next(3);
  EXPECT_EQ(out.got, (std::vector<std::int32_t>{0, 0, 0}));
  cnt.Min = 10;
  cnt.Max = 20;
  cnt.Step = 7;
  cnt.Value = 10;
  next(3);
  EXPECT_EQ(out.got, (std::vector<std::int32_t>{0, 0, 0, 17, 10, 17}));
}

TEST_F(Counter, DownwardCountJumpsToMaxAndResetsToMax) {
  cnt.Min = 0;
  cnt.Max = 5;
  cnt.Step = 2;
  cnt.Value = 5;
  cnt.Down = true;
  cnt.onCount = out.link();
  next(4);
  EXPECT_EQ(out.got, (std::vector<std::int32_t>{3, 1, 5, 3}));
  fire_null(make_link<&TKxCounter::doReset>(0, &cnt));
  EXPECT_EQ(cnt.Value, 5);
}

TEST_F(Counter, PassingTheEndsOfThe32BitRangeStillWraps) {
  cnt.Min = 0;
  cnt.Max = kMax32;
  cnt.Step = 1;
  cnt.Value = kMax32 - 1;
  cnt.onCount = out.link();
  next(2);
  EXPECT_EQ(out.got, (std::vector<std::int32_t>{kMax32, 0}));

  TKxCounter down;
  down.Min = kMin32;
  down.Max = 100;
  down.Step = 10;
  down.Value = kMin32 + 5;
  down.Down = true;
  down.onCount = out.link();
  fire_null(make_link<&TKxCounter::doNext>(0, &down));
  EXPECT_EQ(out.got.back(), 100);
}

TEST_F(Counter, GetCountAndTheContinuedRecord) {
  cnt.Max = 9;
  cnt.Step = 3;
  TData d = text("in");
  fire(make_link<&TKxCounter::doNext>(0, &cnt), d);
  // No receiver: the value stays in the caller's record.
  EXPECT_EQ(kind_of(d), kInteger);
  EXPECT_EQ(d.int_value, 3);
  TData reader;
  EXPECT_EQ(read_integer(reader, make_link<&TKxCounter::getCount>(0, &cnt), 0), 3);
}

class For : public LivePins {
 protected:
  void SetUp() override {
    LivePins::SetUp();
    loop.onIteration = iterations.link();
    loop.onDone = done.link();
  }
  void run(TData d = TData{}) { fire(make_link<&TKxFor::doFor>(0, &loop), d); }

  TKxFor loop;
  Values iterations;
  Values done;
};

std::vector<std::int32_t> range(std::int32_t from, std::int32_t to, std::int32_t step) {
  std::vector<std::int32_t> v;
  for (std::int32_t i = from; step > 0 ? i <= to : i >= to; i += step) v.push_back(i);
  return v;
}

TEST_F(For, ZeroTo255IncludingTheEnd) {
  loop.End = 255;
  loop.Step = 1;
  loop.IncludeEnd = true;
  run();
  EXPECT_EQ(iterations.got, range(0, 255, 1));
  EXPECT_EQ(done.got, (std::vector<std::int32_t>{256}));
}

TEST_F(For, ExcludingTheEnd) {
  loop.End = 255;
  loop.Step = 1;
  run();
  EXPECT_EQ(iterations.got, range(0, 254, 1));
  EXPECT_EQ(done.got, (std::vector<std::int32_t>{255}));
}

TEST_F(For, CountingDown) {
  loop.Start = 10;
  loop.End = 0;
  loop.Step = -1;
  run();
  EXPECT_EQ(iterations.got, range(10, 1, -1));
  EXPECT_EQ(done.got, (std::vector<std::int32_t>{0}));
  loop.Step = -4;
  loop.IncludeEnd = true;
  run();
  EXPECT_EQ(done.got.back(), -2);  // 10, 6, 2 and then past the end
}

TEST_F(For, StepZeroRunsNothingAndReportsTheStart) {
  loop.Start = 4;
  loop.End = 100;
  run();
  EXPECT_TRUE(iterations.got.empty());
  EXPECT_EQ(done.got, (std::vector<std::int32_t>{4}));
}

TEST_F(For, EmptyRangeReportsTheStart) {
  loop.Start = 5;
  loop.End = 5;
  loop.Step = 1;
  run();
  EXPECT_TRUE(iterations.got.empty());
  EXPECT_EQ(done.got, (std::vector<std::int32_t>{5}));
}

TEST_F(For, EventValuesAreUsedOnlyWithPassData) {
  loop.Step = 1;
  TData end = integer(5);
  TData d = integer(2);
  d.next = &end;
  run(d);  // PassData off: 0 .. 0, nothing
  EXPECT_TRUE(iterations.got.empty());
  loop.PassData = true;
  run(d);
  EXPECT_EQ(iterations.got, (std::vector<std::int32_t>{2, 3, 4}));
  EXPECT_EQ(done.got, (std::vector<std::int32_t>{0, 5}));
}

TEST_F(For, ConnectedBoundsWin) {
  Answer start;
  Answer end;
  start.value = integer(3);
  end.value = text("6");
  loop.dataStart = start.link();
  loop.dataEnd = end.link();
  loop.Start = 100;
  loop.Step = 1;
  loop.IncludeEnd = true;
  run(integer(50));
  EXPECT_EQ(iterations.got, (std::vector<std::int32_t>{3, 4, 5, 6}));
  EXPECT_EQ(start.reads, 1);
  EXPECT_EQ(end.reads, 1);
}

TEST_F(For, ReceiversCannotChangeTheLoopAndEachIterationFinishesFirst) {
  std::vector<std::string> journal;
  Recorder spoiler{.journal = &journal, .name = "it", .overwrite = true};
  Recorder finished{.journal = &journal, .name = "done"};
  loop.onIteration = spoiler.link();
  loop.onDone = finished.link();
  loop.End = 3;
  loop.Step = 1;
  run();
  EXPECT_EQ(journal, (std::vector<std::string>{"it=Integer:0", "it=Integer:1", "it=Integer:2",
                                               "done=Integer:3"}));
}

TEST_F(For, EndsAtTheEdgesOfThe32BitRange) {
  loop.Start = kMax32 - 2;
  loop.End = kMax32;
  loop.Step = 1;
  loop.IncludeEnd = true;
  run();
  EXPECT_EQ(iterations.got, (std::vector<std::int32_t>{kMax32 - 2, kMax32 - 1, kMax32}));
  ASSERT_EQ(done.got.size(), 1u);

  // Excluding an end of the most negative value leaves nothing to visit.
  iterations.got.clear();
  loop.Start = kMin32;
  loop.End = kMin32;
  loop.IncludeEnd = false;
  run();
  EXPECT_TRUE(iterations.got.empty());

  loop.Start = kMin32 + 1;
  loop.End = kMin32;
  loop.Step = -1;
  loop.IncludeEnd = true;
  run();
  EXPECT_EQ(iterations.got, (std::vector<std::int32_t>{kMin32 + 1, kMin32}));
}

}  // namespace
}  // namespace kx
