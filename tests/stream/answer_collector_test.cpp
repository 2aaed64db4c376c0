// The answer collector: received runs, however they are cut, reach the judge as one answer;
// a complete answer goes on within the run that completes it, bytes that cannot begin an
// acceptable answer at once, a line at its line feed or after the quiet time.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "elements/stream/answer_collector.hpp"
#include "runtime/element_thread.hpp"
#include "runtime/image_layout.hpp"
#include "tests/common/hand_timer.hpp"

namespace kx {
namespace {

constexpr std::int32_t kLast = image_layout::kLastBlock;

using testing_timer::HandTimer;

struct Sink {
  std::vector<std::string> answers, held;
  std::string final_text = "1234465A", ack_text = "1234";
  std::int32_t stage = 0;
  void doAnswer(TData& d, std::uint16_t) { answers.push_back(to_string(d)); }
  void doHeld(TData& d, std::uint16_t) { held.push_back(to_string(d)); }
  void getFinal(TData& d, std::uint16_t) { set_string(d, final_text); }
  void getAck(TData& d, std::uint16_t) { set_string(d, ack_text); }
  void getStage(TData& d, std::uint16_t) { set_integer(d, stage); }
};

class AnswerCollector : public ::testing::Test {
 protected:
  void SetUp() override { enable_pins(); }
  void TearDown() override { disable_pins(); }

  std::unique_ptr<TKxAnswerCollector> make() {
    auto c = std::make_unique<TKxAnswerCollector>(std::make_unique<HandTimer>(timer));
    c->onAnswer = make_link<&Sink::doAnswer>(0, &sink);
    c->onHeld = make_link<&Sink::doHeld>(0, &sink);
    return c;
  }
  std::unique_ptr<TKxAnswerCollector> make_transfer() {
    auto c = make();
    c->set_AnswerCount(2);
    c->FinalStage = kLast;
    c->dataAnswer[0] = make_link<&Sink::getFinal>(0, &sink);
    c->dataAnswer[1] = make_link<&Sink::getAck>(0, &sink);
    c->dataStage = make_link<&Sink::getStage>(0, &sink);
    return c;
  }
  static void add(TKxAnswerCollector& c, const std::string& run) {
    TData d;
    set_string(d, run);
    fire(make_link<&TKxAnswerCollector::doAdd>(0, &c), d);
  }
  bool tick() { return testing_timer::tick(*timer); }

  EventQueue queue;
  ScopedElementThread scoped{&queue};
  std::shared_ptr<HandTimer::State> timer = std::make_shared<HandTimer::State>();
  Sink sink;
};

TEST_F(AnswerCollector, TransferAnswersGoOnWholeAndAsSoonAsTheyAreDecided) {
  struct Case {
    const char* name;
    std::int32_t stage;
    std::vector<std::string> runs;
    std::vector<std::string> answers;  // what reached the judge, after the last run
    std::size_t held;                  // runs kept waiting
  } cases[] = {
      {"ack in one run", 3, {"\x12\x34"}, {"\x12\x34"}, 0},
      {"ack in two runs", 3, {"\x12", "\x34"}, {"\x12\x34"}, 1},
      {"final in one run",
       3,
       {"\x12\x34"
        "FZ"},
       {"\x12\x34"
        "FZ"},
       0},
      {"final cut after F",
       3,
       {"\x12\x34"
        "F",
        "Z"},
       {"\x12\x34"
        "FZ"},
       1},
      {"ack, then FZ as the next answer", 3, {"\x12\x34", "FZ"}, {"\x12\x34", "FZ"}, 0},
      {"swapped", 3, {"\x34\x12"}, {"\x34\x12"}, 0},
      {"long", 3, {"\x12\x34\x0D"}, {"\x12\x34\x0D"}, 0},
      {"wrong second byte", 3, {"\x12", "\x99"}, {"\x12\x99"}, 1},
      {"garbage", 3, {"\x55\xAA\x13"}, {"\x55\xAA\x13"}, 0},
      // An empty read brings nothing: what is held keeps waiting for the rest of its answer
      // (taken as it stood, a CRC alone after the last block would pass as an acknowledgement).
      {"an empty read keeps what is held", 3, {"\x12", "", "\x34"}, {"\x12\x34"}, 1},
      {"an empty read after the last block",
       kLast,
       {"\x12\x34", "", "FZ"},
       {"\x12\x34"
        "FZ"},
       1},
      {"an empty read alone", 3, {""}, {""}, 0},
      {"after the last block the CRC waits", kLast, {"\x12\x34"}, {}, 1},
      {"after the last block, CRC then FZ",
       kLast,
       {"\x12\x34", "FZ"},
       {"\x12\x34"
        "FZ"},
       1},
      {"after the last block, CRC then more", kLast, {"\x12\x34", "\x01"}, {"\x12\x34\x01"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink = Sink();
    sink.stage = c.stage;
    auto collector = make_transfer();
    for (const std::string& run : c.runs) add(*collector, run);
    EXPECT_EQ(sink.answers, c.answers);
    EXPECT_EQ(sink.held.size(), c.held);
    EXPECT_EQ(queue.pending(), 0u);  // nothing left for later: no added delay
  }
}

TEST_F(AnswerCollector, ALineGoesOnAtItsLineFeedOrAfterTheQuietTime) {
  auto collector = make();
  collector->LineEnd = 10;
  collector->Quiet = 100;

  add(*collector, "MAGNETOFLUX VKD7 ");
  add(*collector, "9.0\r");
  EXPECT_TRUE(sink.answers.empty());
  EXPECT_EQ(timer->interval, 100u);
  add(*collector, "\n");
  EXPECT_EQ(sink.answers, (std::vector<std::string>{"MAGNETOFLUX VKD7 9.0\r\n"}));
  EXPECT_FALSE(tick());  // the quiet time was stopped

  add(*collector, "MAGNETOFLUX A");
  add(*collector, " 1.2");
  const int starts = timer->starts;
  EXPECT_EQ(sink.answers.size(), 1u);
  ASSERT_TRUE(tick());
  EXPECT_EQ(sink.answers.size(), 1u);  // the quiet time is handed over to the element thread
  queue.drain();
  EXPECT_EQ(sink.answers.back(), "MAGNETOFLUX A 1.2");
  EXPECT_EQ(starts, timer->starts);

  // A clear (another port chosen) drops what is held; a tick already on its way finds nothing.
  add(*collector, "MAG");
  ASSERT_TRUE(tick());
  TData d;
  collector->doClear(d, 1);
  queue.drain();
  EXPECT_EQ(sink.answers.size(), 2u);
  EXPECT_TRUE(collector->held().empty());

  // An answer holds at most 256 bytes: a device that streams with no line feed is judged once
  // it pauses, on its first 256 bytes, and nothing grows without end.
  collector->MaxLength = 256;
  const std::size_t before = sink.answers.size();
  for (int i = 0; i < 300; ++i) add(*collector, "U");
  EXPECT_EQ(sink.answers.size(), before);
  EXPECT_EQ(collector->held(), std::string(256, 'U'));
  ASSERT_TRUE(tick());
  queue.drain();
  ASSERT_EQ(sink.answers.size(), before + 1);
  EXPECT_EQ(sink.answers.back(), std::string(256, 'U'));
  EXPECT_FALSE(tick());  // the quiet time was stopped

  // A hand-over that arrives after the collector is gone does nothing.
  add(*collector, "MAG");
  ASSERT_TRUE(tick());
  collector.reset();
  queue.drain();
  EXPECT_EQ(sink.answers.size(), 3u);
}

// Each line is an answer of its own, however the runs cut the lines; a line longer than the
// limit is cut there, and the rest of it is dropped, up to its line feed.
TEST_F(AnswerCollector, LinesGoOnOneByOneHoweverTheRunsCutThem) {
  struct Case {
    const char* name;
    std::vector<std::string> runs;
    std::vector<std::string> answers;
    std::string held;  // waiting for its line feed or the quiet time
  } cases[] = {
      {"a banner and the answer in one run",
       {"BOOT\r\nMAG A 1\r\n"},
       {"BOOT\r\n", "MAG A 1\r\n"},
       ""},
      {"the same apart", {"BOOT\r\n", "MAG A 1\r\n"}, {"BOOT\r\n", "MAG A 1\r\n"}, ""},
      {"the same cut anywhere", {"BO", "OT\r\nMA", "G A 1\r\n"}, {"BOOT\r\n", "MAG A 1\r\n"}, ""},
      {"empty lines", {"\n\n"}, {"\n", "\n"}, ""},
      {"the start of the next line waits", {"A\nB"}, {"A\n"}, "B"},
      {"a long line cut at the limit", {"0123456789ABCDEF", "GHIJ\n"}, {"0123456789ABCDEF"}, ""},
      {"a long line in one run", {"0123456789ABCDEFGHIJ\nX"}, {"0123456789ABCDEF"}, "X"},
      {"a long line, then the next",
       {"0123456789ABCDEF", "GH", "IJ\nOK\n"},
       {"0123456789ABCDEF", "OK\n"},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink = Sink();
    auto collector = make();
    collector->LineEnd = 10;
    collector->Quiet = 100;
    collector->MaxLength = 16;
    for (const std::string& run : c.runs) add(*collector, run);
    EXPECT_EQ(sink.answers, c.answers);
    EXPECT_EQ(collector->held(), c.held);
  }

  // Connected, the rest of a run leaves after its first line's answer, to be routed again.
  struct Rest {
    std::vector<std::string> runs;
    void on(TData& d, std::uint16_t) { runs.push_back(to_string(d)); }
  } rest;
  sink = Sink();
  auto collector = make();
  collector->LineEnd = 10;
  collector->onRest = make_link<&Rest::on>(0, &rest);
  add(*collector, "BOOT\r\nMAG A 1\r\n");
  EXPECT_EQ(sink.answers, std::vector<std::string>{"BOOT\r\n"});
  EXPECT_EQ(rest.runs, std::vector<std::string>{"MAG A 1\r\n"});

  // Judged at once when asked (an unattended run's time-out): what is held goes on.
  add(*collector, "MAG A 1");
  TData d;
  fire(make_link<&TKxAnswerCollector::doFlush>(2, collector.get()), d);
  EXPECT_EQ(sink.answers.back(), "MAG A 1");
  EXPECT_TRUE(collector->held().empty());
  EXPECT_FALSE(tick());
  fire(make_link<&TKxAnswerCollector::doFlush>(2, collector.get()), d);
  EXPECT_EQ(sink.answers.size(), 2u);
}

}  // namespace
}  // namespace kx
