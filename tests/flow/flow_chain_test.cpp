#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "elements/flow/counter.hpp"
#include "elements/flow/do_data.hpp"
#include "elements/flow/for.hpp"
#include "elements/flow/if_else.hpp"
#include "recorder.hpp"

namespace kx {
namespace {

// Notes the frame it runs in and passes the event on unchanged.
struct Probe {
  EventLink out;
  std::uintptr_t* lowest = nullptr;
  std::uintptr_t* highest = nullptr;
  void doEvent(TData& d, std::uint16_t) {
    const auto at = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    if (at < *lowest) *lowest = at;
    if (at > *highest) *highest = at;
    continue_copy(d, out, d);
  }
};

// One link of the long chain: counter -> if_else -> do_data -> for (no steps) -> probe.
struct Group {
  TKxCounter counter;
  TKxIf_else branch;
  TKxDoData data;
  TKxFor loop;
  Probe probe;
};

struct ChainRun {
  EventLink first;
  TData result;
};

void* run_chain(void* arg) {
  auto* run = static_cast<ChainRun*>(arg);
  fire(run->first, run->result);
  return nullptr;
}

TEST(FlowChain, ContinuingElementsRunAtConstantDepthOnASmallStack) {
  constexpr std::size_t kGroups = 50000;
  std::uintptr_t lowest = UINTPTR_MAX;
  std::uintptr_t highest = 0;
  auto groups = std::make_unique<Group[]>(kGroups);
  for (std::size_t i = 0; i < kGroups; ++i) {
    Group& g = groups[i];
    g.counter.Max = 1000;
    g.counter.Step = 1;
    g.counter.onCount = make_link<&TKxIf_else::doCompare>(0, &g.branch);
    g.branch.onTrue = make_link<&TKxDoData::doData>(0, &g.data);
    g.branch.onFalse = g.branch.onTrue;
    set_integer(g.data.Data, static_cast<std::int32_t>(i));
    g.data.onEventData = make_link<&TKxFor::doFor>(0, &g.loop);
    g.loop.Start = static_cast<std::int32_t>(i) + 1;  // Step 0: straight to onDone
    g.loop.onDone = make_link<&Probe::doEvent>(0, &g.probe);
    g.probe.lowest = &lowest;
    g.probe.highest = &highest;
    if (i + 1 < kGroups) g.probe.out = make_link<&TKxCounter::doNext>(0, &groups[i + 1].counter);
  }
  ChainRun run;
  run.first = make_link<&TKxCounter::doNext>(0, &groups[0].counter);
  set_string(run.result, "go");

  enable_pins();
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, 256 * 1024), 0);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attr, &run_chain, &run), 0);
  pthread_attr_destroy(&attr);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  disable_pins();

  EXPECT_EQ(kind_of(run.result), kInteger);
  EXPECT_EQ(run.result.int_value, static_cast<std::int32_t>(kGroups));
  EXPECT_EQ(groups[kGroups - 1].counter.Value, 1);
  EXPECT_LE(highest - lowest, 1024u);
}

}  // namespace
}  // namespace kx
