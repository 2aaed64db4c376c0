#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/tdata.hpp"

namespace kx {
namespace {

// A data source whose answer the test chooses.
struct Source {
  TData answer;
  int reads = 0;
  void getValue(TData& d, std::uint16_t) {
    ++reads;
    d = answer;
  }
  void getNothing(TData&, std::uint16_t) { ++reads; }
};

// An event receiver that records what arrives, and may overwrite its record.
struct Sink {
  std::vector<std::string> seen;
  std::vector<std::uint16_t> indexes;
  bool overwrite = false;
  void doEvent(TData& d, std::uint16_t index) {
    seen.push_back(std::string(kind_name(kind_of(d))) + ":" + to_string(d));
    indexes.push_back(index);
    if (overwrite) set_string(d, "overwritten");
  }
};

class Pins : public ::testing::Test {
 protected:
  void SetUp() override { enable_pins(); }
  void TearDown() override { disable_pins(); }
};

TEST_F(Pins, UnconnectedReadsTakeTheEventValueOnce) {
  TData d;
  set_integer(d, 5);
  const EventLink none;
  EXPECT_EQ(read_integer(d, none, 0), 5);
  EXPECT_EQ(read_integer(d, none, 0), 0);
  EXPECT_EQ(kind_of(d), kNull);
}

TEST_F(Pins, NonZeroDefaultLeavesTheEventAlone) {
  TData d;
  set_integer(d, 5);
  const EventLink none;
  EXPECT_EQ(read_integer(d, none, 7), 7);
  EXPECT_EQ(kind_of(d), kInteger);
  EXPECT_EQ(d.int_value, 5);
  EXPECT_EQ(read_string(d, none, "dflt"), "dflt");
  EXPECT_EQ(read_string(d, none, ""), "5");
}

TEST_F(Pins, ReadsWalkTheEventChain) {
  TData third;
  set_integer(third, 3);
  TData second;
  set_string(second, "b");
  second.next = &third;
  TData d;
  set_integer(d, 1);
  d.next = &second;
  const EventLink none;
  EXPECT_EQ(read_string(d, none, ""), "1");
  EXPECT_EQ(read_string(d, none, ""), "b");
  EXPECT_EQ(read_integer(d, none, 0), 3);
  EXPECT_EQ(read_integer(d, none, 0), 0);
  // The nodes belong to the caller and are left as they were.
  EXPECT_EQ(second.str_value, "b");
  EXPECT_EQ(second.next, &third);
}

TEST_F(Pins, ConnectedSourceWinsUnlessItAnswersBreak) {
  Source src;
  set_string(src.answer, "42");
  const EventLink pin = make_link<&Source::getValue>(0, &src);
  TData d;
  set_integer(d, 5);
  EXPECT_EQ(read_integer(d, pin, 9), 42);
  EXPECT_EQ(read_string(d, pin, "x"), "42");
  EXPECT_EQ(d.int_value, 5);

  src.answer.kind = kBreak;
  EXPECT_EQ(read_string(d, pin, "fallback"), "fallback");
  EXPECT_EQ(read_integer(d, pin, 0), 5);  // no default: the event value
  EXPECT_EQ(kind_of(d), kNull);
  EXPECT_EQ(src.reads, 4);
}

TEST_F(Pins, SourceThatWritesNothingGivesZeroNotTheDefault) {
  Source src;
  const EventLink pin = make_link<&Source::getNothing>(0, &src);
  TData d;
  set_integer(d, 5);
  EXPECT_EQ(read_integer(d, pin, 9), 0);
  EXPECT_EQ(read_string(d, pin, "x"), "");
  EXPECT_EQ(src.reads, 2);
}

TEST_F(Pins, ReadValueTakesTheWholeChainAndEmptiesTheEvent) {
  TData second;
  set_integer(second, 2);
  TData d;
  set_integer(d, 1);
  d.next = &second;
  TData out;
  read_value(d, unconnected_link(), nullptr, out);
  EXPECT_EQ(out.int_value, 1);
  EXPECT_EQ(out.next, &second);
  EXPECT_EQ(kind_of(d), kNull);

  TData def;
  set_string(def, "default");
  set_integer(d, 8);
  read_value(d, unconnected_link(), &def, out);
  EXPECT_EQ(to_string(out), "default");
  EXPECT_EQ(d.int_value, 8);
  TData null_default;
  read_value(d, unconnected_link(), &null_default, out);
  EXPECT_EQ(out.int_value, 8);
}

TEST_F(Pins, ReadSingleValueCutsTheChainAndAdvances) {
  TData second;
  set_string(second, "two");
  TData d;
  set_integer(d, 1);
  d.next = &second;
  TData out;
  read_single_value(d, unconnected_link(), nullptr, out);
  EXPECT_EQ(out.int_value, 1);
  EXPECT_EQ(out.next, nullptr);
  EXPECT_EQ(to_string(d), "two");

  Source src;
  set_integer(src.answer, 6);
  src.answer.next = &second;
  read_single_value(d, make_link<&Source::getValue>(0, &src), nullptr, out);
  EXPECT_EQ(out.int_value, 6);
  EXPECT_EQ(out.next, nullptr);
  EXPECT_EQ(to_string(d), "two");  // a connected pin leaves the event alone
}

TEST_F(Pins, ANullRecordEndsItsChain) {
  TData second;
  set_integer(second, 2);
  TData d;  // NULL, but with a dangling-looking next
  d.next = &second;
  TData out;
  take_first_value(d, out);
  EXPECT_EQ(kind_of(out), kNull);
  EXPECT_EQ(kind_of(d), kNull);
  EXPECT_EQ(d.next, nullptr);
}

TEST_F(Pins, ReadIntoMarksAnUnconnectedPinWithBreak) {
  TData d;
  set_integer(d, 3);
  read_into(d, unconnected_link());
  EXPECT_EQ(kind_of(d), kBreak);
  Source src;
  set_string(src.answer, "in");
  read_into(d, make_link<&Source::getValue>(0, &src));
  EXPECT_EQ(to_string(d), "in");
  EXPECT_EQ(read_pin_integer(make_link<&Source::getValue>(0, &src)), 0);
  set_integer(src.answer, 12);
  EXPECT_EQ(read_pin_integer(make_link<&Source::getValue>(0, &src)), 12);
  EXPECT_EQ(read_pin_integer(unconnected_link()), 0);
  EXPECT_EQ(read_pin_stream(unconnected_link()), nullptr);
}

TEST_F(Pins, FireLetsReceiversOverwriteButFireCopyDoesNot) {
  Sink sink;
  sink.overwrite = true;
  const EventLink link = make_link<&Sink::doEvent>(4, &sink);
  TData d;
  set_integer(d, 1);
  fire_copy(link, d);
  EXPECT_EQ(d.int_value, 1);
  EXPECT_EQ(kind_of(d), kInteger);
  fire(link, d);
  EXPECT_EQ(to_string(d), "overwritten");
  fire_integer(link, 9);
  fire_string(link, "s");
  fire_null(link);
  EXPECT_EQ(sink.seen,
            (std::vector<std::string>{"Integer:1", "Integer:1", "Integer:9", "String:s", "NULL:"}));
  EXPECT_EQ(sink.indexes, (std::vector<std::uint16_t>{4, 4, 4, 4, 4}));
}

// Passes a string on as its last act, to whatever link the test sets.
struct Forwarder {
  EventLink out;
  std::string text;
  void doEvent(TData& d, std::uint16_t) { continue_string(d, out, text); }
};

TEST_F(Pins, ContinuationToAnUnconnectedLinkLeavesAPlainValue) {
  Forwarder fwd{EventLink{}, "tail"};
  TData d;
  set_integer(d, 1);
  fire(make_link<&Forwarder::doEvent>(0, &fwd), d);
  EXPECT_EQ(kind_of(d), kString);
  EXPECT_EQ(d.str_value, "tail");
}

TEST_F(Pins, ContinuationsRunInOrderThroughTheLoop) {
  Sink sink;
  Forwarder second{make_link<&Sink::doEvent>(2, &sink), "second"};
  Forwarder first{make_link<&Forwarder::doEvent>(1, &second), "first"};
  fire_integer(make_link<&Forwarder::doEvent>(0, &first), 0);
  EXPECT_EQ(sink.seen, (std::vector<std::string>{"String:second"}));
  EXPECT_EQ(sink.indexes, (std::vector<std::uint16_t>{2}));
}

TEST(PinSwitch, SilentPinsFireNothingAndReadNothing) {
  disable_pins();
  EXPECT_FALSE(pins_enabled());
  Sink sink;
  const EventLink link = make_link<&Sink::doEvent>(0, &sink);
  fire_string(link, "lost");
  TData d;
  set_integer(d, 1);
  fire(link, d);
  EXPECT_TRUE(sink.seen.empty());

  Source src;
  set_string(src.answer, "live");
  const EventLink pin = make_link<&Source::getValue>(0, &src);
  EXPECT_EQ(read_string(d, pin, "default"), "");
  EXPECT_EQ(read_integer(d, pin, 7), 0);
  EXPECT_EQ(src.reads, 0);
  // Unconnected inputs still give their default or the event's value.
  EXPECT_EQ(read_string(d, unconnected_link(), "default"), "default");
  EXPECT_EQ(read_integer(d, unconnected_link(), 0), 1);

  enable_pins();
  EXPECT_TRUE(pins_enabled());
  fire_string(link, "heard");
  EXPECT_EQ(sink.seen, (std::vector<std::string>{"String:heard"}));
  EXPECT_EQ(read_string(d, pin, "default"), "live");
  disable_pins();
  fire_string(link, "lost again");
  EXPECT_EQ(sink.seen.size(), 1u);
}

TEST(Continuations, SetFlagAndKeepOrReplaceFields) {
  const EventLink target;
  TData node;
  TData d;
  set_string(d, "text");
  d.next = &node;
  continue_null(d, target);
  EXPECT_EQ(kind_of(d), kNull | kContinue);
  EXPECT_EQ(d.continuation, &target);
  EXPECT_EQ(d.next, &node);  // untouched
  EXPECT_EQ(d.str_value, "text");

  continue_integer(d, target, 17);
  EXPECT_EQ(kind_of(d), kInteger | kContinue);
  EXPECT_EQ(d.int_value, 17);
  EXPECT_EQ(d.next, nullptr);

  TData src;
  set_string(src, "copied");
  src.next = &node;
  continue_copy(d, target, src);
  EXPECT_EQ(kind_of(d), kString | kContinue);
  EXPECT_EQ(d.str_value, "copied");
  EXPECT_EQ(d.next, &node);
  // A flagged record still converts as the value it holds.
  EXPECT_EQ(to_string(d), "copied");
  continue_copy(d, target, d);
  EXPECT_EQ(kind_of(d), kString | kContinue);
}

TEST(Hooks, EmptyHookGivesZero) {
  EXPECT_EQ(call_hook(Hook{}, 1, 2), 0);
  int object = 10;
  Hook hook{[](void* o, std::intptr_t a, std::intptr_t b) {
              return static_cast<std::int32_t>(*static_cast<int*>(o) + a * b);
            },
            &object};
  EXPECT_EQ(call_hook(hook, 3, 4), 22);
}

TEST(Fonts, PointsToHeightUsesTheScreenResolution) {
  // The headless toolkit reports 96 pixels per inch.
  EXPECT_EQ(points_to_height(8), -11);
  EXPECT_EQ(points_to_height(10), -13);
}

}  // namespace
}  // namespace kx
