#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "elements/flow/case.hpp"
#include "elements/flow/if_else.hpp"
#include "recorder.hpp"

namespace kx {
namespace {

using testing_flow::Answer;
using testing_flow::brk;
using testing_flow::integer;
using testing_flow::LivePins;
using testing_flow::Recorder;
using testing_flow::text;

class Case : public LivePins {
 protected:
  void SetUp() override {
    LivePins::SetUp();
    set_integer(c.MatchValue, 0);
    c.onMatch = match.link();
    c.onNoMatch = no_match.link();
  }
  void send(TData d) { fire(make_link<&TKxCase::doCompare>(0, &c), d); }

  TKxCase c;
  Recorder match{.name = "match"};
  Recorder no_match{.name = "no"};
};

TEST_F(Case, IntegerZeroAndTheTextZeroMatch) {
  send(integer(0));
  send(text("0"));
  EXPECT_EQ(match.seen, (std::vector<std::string>{"NULL:", "NULL:"}));  // ResultValue NULL
  EXPECT_TRUE(no_match.seen.empty());
}

TEST_F(Case, NullAndOtherValuesDoNotMatch) {
  send(TData{});
  send(integer(1));
  send(text("00"));
  EXPECT_TRUE(match.seen.empty());
  EXPECT_EQ(no_match.seen, (std::vector<std::string>{"NULL:", "Integer:1", "String:00"}));
}

TEST_F(Case, ANonMatchPassesTheValueAsItArrivedChainIncluded) {
  TData tail = integer(0);  // a later 0 in the chain does not count: only the first value
  TData d = text("first");
  d.next = &tail;
  send(d);
  EXPECT_TRUE(match.seen.empty());
  EXPECT_EQ(no_match.seen, (std::vector<std::string>{"String:first"}));
  EXPECT_EQ(no_match.chains, (std::vector<const TData*>{&tail}));
}

TEST_F(Case, AMatchFiresACopyOfResultValueThatReceiversCannotSpoil) {
  set_string(c.ResultValue, "hit");
  match.overwrite = true;
  send(integer(0));
  send(integer(0));
  EXPECT_EQ(match.seen, (std::vector<std::string>{"String:hit", "String:hit"}));
  EXPECT_EQ(to_string(c.ResultValue), "hit");
}

TEST_F(Case, CasesChainThroughOnNoMatch) {
  TKxCase second;
  set_integer(second.MatchValue, 7);
  set_string(second.ResultValue, "seven");
  Recorder second_match;
  Recorder fell_through;
  second.onMatch = second_match.link();
  second.onNoMatch = fell_through.link();
  c.onNoMatch = make_link<&TKxCase::doCompare>(0, &second);
  send(integer(7));
  send(integer(8));
  send(integer(0));
  EXPECT_EQ(second_match.seen, (std::vector<std::string>{"String:seven"}));
  EXPECT_EQ(fell_through.seen, (std::vector<std::string>{"Integer:8"}));
  EXPECT_EQ(match.seen.size(), 1u);
}

class IfElse : public LivePins {
 protected:
  void SetUp() override {
    LivePins::SetUp();
    ie.onTrue = yes.link();
    ie.onFalse = no.link();
  }
  void send(TData d) { fire(make_link<&TKxIf_else::doCompare>(0, &ie), d); }

  TKxIf_else ie;
  Recorder yes;
  Recorder no;
};

TEST_F(IfElse, TextCaseMattersForEqualityButNotForOrdering) {
  set_string(ie.Op1, "abc");
  set_string(ie.Op2, "ABC");
  ie.Mode = 0;
  send(integer(1));
  ie.Mode = 3;
  send(integer(2));
  ie.Mode = 5;
  send(integer(3));
  EXPECT_EQ(no.seen, (std::vector<std::string>{"Integer:1"}));
  EXPECT_EQ(yes.seen, (std::vector<std::string>{"Integer:2", "Integer:3"}));
}

TEST_F(IfElse, EventValueIsComparedWithOp2) {
  set_integer(ie.Op2, 3);
  send(integer(3));
  send(text("3"));
  send(integer(4));
  send(TData{});
  EXPECT_EQ(yes.seen, (std::vector<std::string>{"Integer:3", "String:3"}));
  EXPECT_EQ(no.seen, (std::vector<std::string>{"Integer:4", "NULL:"}));
}

TEST_F(IfElse, UnsetOperandsTakeTheEventsFirstAndSecondValues) {
  ie.Mode = 1;  // less
  TData second = integer(10);
  TData d = integer(4);
  d.next = &second;
  send(d);
  second = integer(2);
  send(d);
  ASSERT_EQ(yes.seen.size(), 1u);
  ASSERT_EQ(no.seen.size(), 1u);
  // Both branches get the value as it arrived, chain included.
  EXPECT_EQ(yes.chains, (std::vector<const TData*>{&second}));
  EXPECT_EQ(no.chains, (std::vector<const TData*>{&second}));
}

TEST_F(IfElse, ConnectedOperandsWinUnlessTheyAnswerBreak) {
  Answer op1;
  Answer op2;
  op1.value = integer(5);
  op2.value = text("5");
  ie.dataOp1 = op1.link();
  ie.dataOp2 = op2.link();
  set_integer(ie.Op2, 99);
  send(text("ignored"));
  op2.value = brk();  // falls back to Op2
  send(text("ignored too"));
  EXPECT_EQ(yes.seen, (std::vector<std::string>{"String:ignored"}));
  EXPECT_EQ(no.seen, (std::vector<std::string>{"String:ignored too"}));
}

TEST_F(IfElse, PassesOnByContinuationInTheCallersRecord) {
  ie.onTrue = EventLink{};
  set_integer(ie.Op2, 1);
  TData tail = text("t");
  TData d = integer(1);
  d.next = &tail;
  fire(make_link<&TKxIf_else::doCompare>(0, &ie), d);
  // Reading the operands consumed the record; the continuation put the arrived value back.
  EXPECT_EQ(kind_of(d), kInteger);
  EXPECT_EQ(d.int_value, 1);
  EXPECT_EQ(d.next, &tail);
}

TEST_F(IfElse, ModesAboveFiveAreFalse) {
  set_integer(ie.Op1, 1);
  set_integer(ie.Op2, 1);
  ie.Mode = 6;
  send(integer(0));
  EXPECT_TRUE(yes.seen.empty());
  EXPECT_EQ(no.seen.size(), 1u);
}

}  // namespace
}  // namespace kx
