#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/tdata.hpp"

namespace kx {
namespace {

// Where in the stack each element method ran: with continuations every element of a chain is
// called from the same firing loop, so the frames all sit at one depth.
struct FrameSpan {
  std::uintptr_t lowest = UINTPTR_MAX;
  std::uintptr_t highest = 0;
  void note(const void* frame) {
    const auto at = reinterpret_cast<std::uintptr_t>(frame);
    if (at < lowest) lowest = at;
    if (at > highest) highest = at;
  }
};

struct Relay {
  EventLink out;
  FrameSpan* span = nullptr;
  void doNext(TData& d, std::uint16_t) {
    span->note(__builtin_frame_address(0));
    continue_integer(d, out, d.int_value + 1);
  }
};

struct ChainRun {
  std::vector<Relay>* relays = nullptr;
  FrameSpan span;
  TData result;
};

void* run_chain(void* arg) {
  auto* run = static_cast<ChainRun*>(arg);
  set_integer(run->result, 0);
  fire(make_link<&Relay::doNext>(0, &run->relays->front()), run->result);
  return nullptr;
}

// Runs run_chain on a thread whose stack is far too small for one nested call per element.
bool run_on_small_stack(ChainRun& run, std::size_t stack_bytes) {
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return false;
  bool ok = pthread_attr_setstacksize(&attr, stack_bytes) == 0;
  pthread_t thread;
  ok = ok && pthread_create(&thread, &attr, &run_chain, &run) == 0;
  pthread_attr_destroy(&attr);
  return ok && pthread_join(thread, nullptr) == 0;
}

TEST(DeepChain, AMillionContinuingElementsRunAtConstantDepth) {
  constexpr std::size_t kLength = 1000000;
  std::vector<Relay> relays(kLength);
  ChainRun run;
  run.relays = &relays;
  for (std::size_t i = 0; i < kLength; ++i) {
    relays[i].span = &run.span;
    if (i + 1 < kLength) relays[i].out = make_link<&Relay::doNext>(0, &relays[i + 1]);
  }
  enable_pins();
  ASSERT_TRUE(run_on_small_stack(run, 256 * 1024));
  disable_pins();
  EXPECT_EQ(kind_of(run.result), kInteger);
  EXPECT_EQ(run.result.int_value, static_cast<std::int32_t>(kLength));
  // Nested calls would have spread the frames over megabytes (or crashed the thread).
  EXPECT_LE(run.span.highest - run.span.lowest, 1024u);
}

}  // namespace
}  // namespace kx
