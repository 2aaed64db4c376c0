#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "elements/flow/after_step.hpp"
#include "elements/flow/do_data.hpp"
#include "elements/flow/event_from_data.hpp"
#include "recorder.hpp"
#include "runtime/element_thread.hpp"

namespace kx {
namespace {

using testing_flow::Answer;
using testing_flow::brk;
using testing_flow::integer;
using testing_flow::LivePins;
using testing_flow::Recorder;
using testing_flow::text;

using DoData = LivePins;

TEST_F(DoData, EmitsItsDataInsteadOfTheIncomingValue) {
  Recorder r;
  TKxDoData dd;
  set_integer(dd.Data, 1);
  dd.onEventData = r.link();
  TData d = text("incoming");
  fire(make_link<&TKxDoData::doData>(0, &dd), d);
  EXPECT_EQ(r.seen, (std::vector<std::string>{"Integer:1"}));
  // The value travelled on in the caller's own record (a continuation, not a nested firing).
  EXPECT_EQ(kind_of(d), kInteger);
  EXPECT_EQ(d.int_value, 1);
}

TEST_F(DoData, WithoutDataOrSourceEmitsNullEvenForAChainedEvent) {
  Recorder r;
  TKxDoData dd;
  dd.onEventData = r.link();
  TData tail = integer(2);
  TData d = text("first");
  d.next = &tail;
  fire(make_link<&TKxDoData::doData>(0, &dd), d);
  EXPECT_EQ(r.seen, (std::vector<std::string>{"NULL:"}));
  EXPECT_EQ(r.chains, (std::vector<const TData*>{nullptr}));
}

TEST_F(DoData, ConnectedSourceWinsUnlessItAnswersBreak) {
  Recorder r;
  Answer src;
  TData tail = integer(9);
  src.value = text("from source");
  src.value.next = &tail;
  TKxDoData dd;
  set_string(dd.Data, "own");
  dd.dataData = src.link();
  dd.onEventData = r.link();
  fire_null(make_link<&TKxDoData::doData>(0, &dd));
  src.value = brk();
  fire_null(make_link<&TKxDoData::doData>(0, &dd));
  EXPECT_EQ(r.seen, (std::vector<std::string>{"String:from source", "String:own"}));
  // A single value: the source's chain is not passed on.
  EXPECT_EQ(r.chains, (std::vector<const TData*>{nullptr, nullptr}));
  EXPECT_EQ(src.reads, 2);
}

TEST_F(DoData, ReceiversCannotChangeTheDataProperty) {
  Recorder r{.overwrite = true};
  TKxDoData dd;
  set_string(dd.Data, "fixed");
  dd.onEventData = r.link();
  fire_null(make_link<&TKxDoData::doData>(0, &dd));
  fire_null(make_link<&TKxDoData::doData>(0, &dd));
  EXPECT_EQ(r.seen, (std::vector<std::string>{"String:fixed", "String:fixed"}));
  EXPECT_EQ(to_string(dd.Data), "fixed");
}

class EventFromData : public LivePins {
 protected:
  // Reads the element's output the way a data input linked to it would.
  TData read(TKxEventFromData& e) {
    TData event;
    TData out;
    read_value(event, make_link<&TKxEventFromData::getData>(0, &e), nullptr, out);
    return out;
  }
};

TEST_F(EventFromData, BeforeAnyStoreReadsGiveNullAfterFiringOnGetData) {
  Recorder r;
  TKxEventFromData e;
  e.onGetData = r.link();
  TData out = read(e);
  EXPECT_EQ(kind_of(out), kNull);
  EXPECT_EQ(r.seen.size(), 1u);
}

TEST_F(EventFromData, StoresTheWholeChainAsItsOwnCopy) {
  Recorder r;
  TKxEventFromData e;
  e.onGetData = r.link();
  {
    TData third = text("three");
    TData second = integer(2);
    second.next = &third;
    TData d = text("one");
    d.next = &second;
    fire(make_link<&TKxEventFromData::doEvent>(0, &e), d);
    EXPECT_TRUE(r.seen.empty());  // storing fires nothing
    set_string(third, "changed");
  }  // the event's nodes are gone; the stored copy must not refer to them
  TData out = read(e);
  EXPECT_EQ(read_string(out, unconnected_link(), ""), "one");
  EXPECT_EQ(read_integer(out, unconnected_link(), 0), 2);
  EXPECT_EQ(read_string(out, unconnected_link(), ""), "three");
  EXPECT_EQ(kind_of(out), kNull);
  // Reading never frees or changes the stored chain: a second read sees it all again.
  TData again = read(e);
  ASSERT_NE(again.next, nullptr);
  ASSERT_NE(again.next->next, nullptr);
  EXPECT_EQ(again.next->next->str_value, "three");
}

TEST_F(EventFromData, WhatOnGetDataReceiversWriteIsOverwritten) {
  Recorder r{.overwrite = true};
  TKxEventFromData e;
  e.onGetData = r.link();
  fire_string(make_link<&TKxEventFromData::doEvent>(0, &e), "stored");
  TData out = read(e);
  EXPECT_EQ(to_string(out), "stored");
}

TEST_F(EventFromData, ConnectedSourceIsStoredAndTheEventLeftAlone) {
  Answer src;
  src.value = integer(44);
  TKxEventFromData e;
  e.dataData = src.link();
  TData d = text("event");
  fire(make_link<&TKxEventFromData::doEvent>(0, &e), d);
  EXPECT_EQ(to_string(d), "event");
  EXPECT_EQ(to_integer(e.stored()), 44);
  // A Break from the source falls back to the event's value.
  src.value = brk();
  fire(make_link<&TKxEventFromData::doEvent>(0, &e), d);
  EXPECT_EQ(to_string(e.stored()), "event");
}

TEST_F(EventFromData, EachStoreReleasesThePreviousChain) {
  // Run under the address sanitizer: every chain stored here must be freed exactly once,
  // by the next store or by the destructor.
  auto e = std::make_unique<TKxEventFromData>();
  for (int round = 0; round < 50; ++round) {
    TData c = integer(round + 2);
    TData b = integer(round + 1);
    b.next = &c;
    TData a = integer(round);
    a.next = &b;
    fire(make_link<&TKxEventFromData::doEvent>(0, e.get()), a);
  }
  TData out = read(*e);
  EXPECT_EQ(out.int_value, 49);
  ASSERT_NE(out.next, nullptr);
  EXPECT_EQ(out.next->int_value, 50);
  e.reset();
}

TEST_F(EventFromData, StoringItsOwnOutputAgainIsSafe) {
  // The value read from getData shares the stored nodes; storing it back must copy them
  // before the old chain is released.
  TKxEventFromData e;
  TData c = text("c");
  TData b = text("b");
  b.next = &c;
  TData a = text("a");
  a.next = &b;
  fire(make_link<&TKxEventFromData::doEvent>(0, &e), a);
  TData mine = read(e);
  fire(make_link<&TKxEventFromData::doEvent>(0, &e), mine);
  e.dataData = make_link<&TKxEventFromData::getData>(0, &e);  // wired to itself
  fire_null(make_link<&TKxEventFromData::doEvent>(0, &e));
  TData out = read(e);
  EXPECT_EQ(read_string(out, unconnected_link(), ""), "a");
  EXPECT_EQ(read_string(out, unconnected_link(), ""), "b");
  EXPECT_EQ(read_string(out, unconnected_link(), ""), "c");
}

TEST_F(EventFromData, ANullValueEndsTheStoredChain) {
  TKxEventFromData e;
  TData after = integer(5);
  TData gap;
  gap.next = &after;
  TData d = integer(1);
  d.next = &gap;
  fire(make_link<&TKxEventFromData::doEvent>(0, &e), d);
  ASSERT_NE(e.stored().next, nullptr);
  EXPECT_EQ(kind_of(*e.stored().next), kNull);
  EXPECT_EQ(e.stored().next->next, nullptr);
}

using AfterStep = LivePins;

// The value goes on once the step has ended, behind what the step posted before it; an element
// destroyed meanwhile passes nothing on; without an element thread it goes on at once.
TEST_F(AfterStep, PassesItsValueOnWhenTheStepHasEnded) {
  Recorder r;
  EventQueue queue;
  std::vector<std::string> order;
  {
    ScopedElementThread scoped(&queue);
    auto after = std::make_unique<TKxAfterStep>();
    after->onEvent = r.link();
    post_to_element_thread([&] { order.push_back("earlier"); });
    TData d = text("v");
    fire(make_link<&TKxAfterStep::doEvent>(0, after.get()), d);
    EXPECT_TRUE(r.seen.empty());
    post_to_element_thread([&] { order.push_back("later " + std::to_string(r.seen.size())); });
    queue.drain();
    EXPECT_EQ(r.seen, (std::vector<std::string>{"String:v"}));
    EXPECT_EQ(order, (std::vector<std::string>{"earlier", "later 1"}));

    fire(make_link<&TKxAfterStep::doEvent>(0, after.get()), d);
    after.reset();
    queue.drain();
    EXPECT_EQ(r.seen.size(), 1u);
  }
  TKxAfterStep at_once;
  at_once.onEvent = r.link();
  TData d = integer(7);
  fire(make_link<&TKxAfterStep::doEvent>(0, &at_once), d);
  EXPECT_EQ(r.seen.back(), "Integer:7");
}

}  // namespace
}  // namespace kx
