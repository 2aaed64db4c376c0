#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "elements/flow/commutator.hpp"
#include "elements/flow/hub.hpp"
#include "recorder.hpp"

namespace kx {
namespace {

using testing_flow::Answer;
using testing_flow::brk;
using testing_flow::integer;
using testing_flow::LivePins;
using testing_flow::Recorder;
using testing_flow::text;

// Passes its event on to `out` as a continuation, logging that it ran.
struct Relay {
  EventLink out;
  std::vector<std::string>* journal = nullptr;
  std::string name;
  void doEvent(TData& d, std::uint16_t) {
    journal->push_back(name);
    continue_string(d, out, name + " passed " + to_string(d));
  }
};

using Hub = LivePins;

TEST_F(Hub, WithoutOutputsNothingHappens) {
  TKxHub hub;
  hub.InCount = 1;
  hub.set_OutCount(0);
  TData d = text("x");
  hub.doEvent(d, 0);
  EXPECT_EQ(to_string(d), "x");
}

TEST_F(Hub, EachOutputsChainFinishesBeforeTheNextOutput) {
  std::vector<std::string> journal;
  Recorder end0{.journal = &journal, .name = "end0"};
  Relay relay0{end0.link(), &journal, "relay0"};
  Recorder out1{.journal = &journal, .name = "out1"};
  Recorder out2{.journal = &journal, .name = "out2"};
  TKxHub hub;
  hub.set_OutCount(3);
  hub.onEvent[0] = make_link<&Relay::doEvent>(0, &relay0);
  hub.onEvent[1] = out1.link();
  hub.onEvent[2] = out2.link();
  fire_integer(make_link<&TKxHub::doEvent>(0, &hub), 7);
  EXPECT_EQ(journal, (std::vector<std::string>{"relay0", "end0=String:relay0 passed 7",
                                               "out1=Integer:7", "out2=Integer:7"}));
}

TEST_F(Hub, LaterOutputsDoNotSeeWhatEarlierReceiversWrote) {
  Recorder first{.name = "first", .overwrite = true};
  Recorder second{.name = "second", .overwrite = true};
  Recorder third{.name = "third"};
  TKxHub hub;
  hub.set_OutCount(3);
  hub.onEvent[0] = first.link();
  hub.onEvent[1] = second.link();
  hub.onEvent[2] = third.link();
  TData second_node = integer(2);
  TData d = text("orig");
  d.next = &second_node;
  fire(make_link<&TKxHub::doEvent>(5, &hub), d);
  EXPECT_EQ(first.seen, (std::vector<std::string>{"String:orig"}));
  EXPECT_EQ(second.seen, (std::vector<std::string>{"String:orig"}));
  EXPECT_EQ(third.seen, (std::vector<std::string>{"String:orig"}));
  EXPECT_EQ(third.chains, (std::vector<const TData*>{&second_node}));
  // Nor does the sender.
  EXPECT_EQ(to_string(d), "orig");
  EXPECT_EQ(d.next, &second_node);
}

TEST_F(Hub, GrowingTheOutputsKeepsTheLinksAlreadySet) {
  Recorder r;
  TKxHub hub;
  hub.set_OutCount(1);
  hub.onEvent[0] = r.link();
  hub.set_OutCount(4);
  EXPECT_EQ(hub.OutCount(), 4);
  fire_string(make_link<&TKxHub::doEvent>(0, &hub), "kept");
  EXPECT_EQ(r.seen, (std::vector<std::string>{"String:kept"}));
}

class Commutator : public LivePins {
 protected:
  void SetUp() override {
    LivePins::SetUp();
    com.set_OutCount(2);
    com.onEvent[0] = out0.link();
    com.onEvent[1] = out1.link();
  }
  void send(std::uint16_t on_input, TData d) {
    fire(make_link<&TKxCommutator::doWork>(on_input, &com), d);
  }

  std::vector<std::string> journal;
  Recorder out0{.journal = &journal, .name = "out0"};
  Recorder out1{.journal = &journal, .name = "out1"};
  TKxCommutator com;
  Answer enabled;
  Answer channel;
  Answer input;
};

TEST_F(Commutator, UnconnectedChannelFiresEveryOutputInOrderWithFreshCopies) {
  out0.overwrite = true;
  send(0, text("v"));
  EXPECT_EQ(journal, (std::vector<std::string>{"out0=String:v", "out1=String:v"}));
}

TEST_F(Commutator, UnconnectedInputsNeverTakeTheEventValue) {
  // An Integer 0 event must not be read as "disabled" or as channel 0.
  send(0, integer(0));
  EXPECT_EQ(journal, (std::vector<std::string>{"out0=Integer:0", "out1=Integer:0"}));
}

TEST_F(Commutator, ChannelPicksOneOutput) {
  com.dataChannel = channel.link();
  channel.value = integer(1);
  send(0, text("to one"));
  EXPECT_EQ(journal, (std::vector<std::string>{"out1=String:to one"}));
  channel.value = text("0");
  send(0, text("to zero"));
  EXPECT_EQ(journal.back(), "out0=String:to zero");
  EXPECT_EQ(journal.size(), 2u);
}

TEST_F(Commutator, ChannelBeyondTheOutputsFiresNothing) {
  com.dataChannel = channel.link();
  channel.value = integer(2);
  send(0, text("lost"));
  channel.value = integer(1000);
  send(0, text("lost"));
  EXPECT_TRUE(journal.empty());
}

TEST_F(Commutator, NegativeOrBreakChannelFiresEveryOutput) {
  com.dataChannel = channel.link();
  channel.value = integer(-5);
  send(0, text("a"));
  channel.value = brk();
  send(0, text("b"));
  EXPECT_EQ(journal, (std::vector<std::string>{"out0=String:a", "out1=String:a", "out0=String:b",
                                               "out1=String:b"}));
}

TEST_F(Commutator, InputFilterPassesOnlyItsInput) {
  com.dataInput = input.link();
  input.value = integer(1);
  send(0, text("from 0"));
  EXPECT_TRUE(journal.empty());
  send(1, text("from 1"));
  EXPECT_EQ(journal, (std::vector<std::string>{"out0=String:from 1", "out1=String:from 1"}));
}

TEST_F(Commutator, DisabledFiresNothingAndReadsNoFurther) {
  com.dataEnabled = enabled.link();
  com.dataChannel = channel.link();
  enabled.value = integer(0);
  send(0, text("blocked"));
  EXPECT_TRUE(journal.empty());
  EXPECT_EQ(channel.reads, 0);
  // A source without a value of its own (Break) leaves the commutator enabled.
  enabled.value = brk();
  channel.value = integer(0);
  send(0, text("open"));
  EXPECT_EQ(journal, (std::vector<std::string>{"out0=String:open"}));
}

TEST_F(Commutator, WithoutOutputsNothingFires) {
  TKxCommutator empty;
  empty.set_OutCount(0);
  TData d = text("x");
  fire(make_link<&TKxCommutator::doWork>(0, &empty), d);
  EXPECT_EQ(to_string(d), "x");
  EXPECT_EQ(empty.OutCount(), 0);
}

TEST_F(Commutator, TheSendersRecordIsNotChanged) {
  out0.overwrite = true;
  out1.overwrite = true;
  TData d = text("mine");
  fire(make_link<&TKxCommutator::doWork>(0, &com), d);
  EXPECT_EQ(to_string(d), "mine");
  com.dataChannel = channel.link();
  channel.value = integer(1);
  fire(make_link<&TKxCommutator::doWork>(0, &com), d);
  EXPECT_EQ(to_string(d), "mine");
}

}  // namespace
}  // namespace kx
