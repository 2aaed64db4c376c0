// Identification and transfer, each inside its container, against the simulated device.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "elements/serial/port_table.hpp"
#include "elements/stream/answer_collector.hpp"
#include "elements/timer/mm_timer.hpp"
#include "runtime/element_thread.hpp"
#include "runtime/image_layout.hpp"
#include "schemes/identification_scheme.hpp"
#include "schemes/transfer_scheme.hpp"
#include "tests/common/device_texts.hpp"
#include "tests/common/hand_timer.hpp"
#include "tools/devsim/simulator.hpp"
#include "tools/harness/dialogue_host.hpp"

namespace kx {
namespace {

using namespace std::chrono_literals;
using devsim::Fault;

using test_texts::image_bytes;
using test_texts::kNotFound;
using test_texts::status_for;

class Dialogue : public ::testing::Test {
 protected:
  void TearDown() override {
    host.reset();
    if (sim) sim->stop();
    clear_registered_ports();
  }

  // A device on COM7 and the host scheme, started.
  void begin(devsim::Options options) {
    if (options.image.empty()) options.image = image_bytes();
    sim = std::make_unique<devsim::Simulator>(std::move(options));
    ASSERT_TRUE(sim->start());
    register_port("COM7", sim->port_path());
    host = std::make_unique<harness::DialogueHost>("COM7");
    host->start();
  }

  bool run_until(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 30s) {
    return queue.run_until(pred, timeout);
  }

  // Identification, until the status line says something.
  void identify() {
    host->choose_port();
    ASSERT_TRUE(run_until([&] { return host->status.count() > 0; }));
  }

  // Until `pred` holds, for as long as the transfer moves: it fails only when neither a block
  // nor a write came for `stall` (a sanitizer on busy cores makes a transfer slow, not stuck).
  bool run_while_moving(const std::function<bool()>& pred, std::chrono::milliseconds stall = 20s) {
    for (;;) {
      const auto mark = std::make_pair(host->progress.count(), host->written.writes);
      if (run_until(pred, stall)) return true;
      if (std::make_pair(host->progress.count(), host->written.writes) == mark) return false;
    }
  }

  // The watchdog is given by hand (it never ticks unless the test ticks it), so that only the
  // device's answers decide.
  void transfer_until_outcome() {
    hand_watchdog();
    identify();
    ASSERT_EQ(host->route(), 1);
    host->start_write();
    ASSERT_TRUE(
        run_while_moving([&] { return host->success.count() + host->failure.count() > 0; }));
  }

  // The transfer's watchdog ticks by hand from now on: a test waits for what it means, and a
  // busy machine cannot make a good device look silent.
  void hand_watchdog() {
    watchdog = std::make_shared<testing_timer::HandTimer::State>();
    host->transfer().tmrWatch->use_backend(testing_timer::hand_timer(watchdog));
  }
  // One tick of the watchdog, handled.
  void watchdog_tick() {
    ASSERT_TRUE(run_until([&] { return host->transfer().tmrWatch->running(); }));
    ASSERT_TRUE(testing_timer::tick(*watchdog));
    ASSERT_TRUE(run_until([&] { return !host->transfer().tmrWatch->busy(); }));
  }

  EventQueue queue;
  ScopedElementThread scoped{&queue};
  std::unique_ptr<devsim::Simulator> sim;
  std::unique_ptr<harness::DialogueHost> host;
  std::shared_ptr<testing_timer::HandTimer::State> watchdog;
};

TEST_F(Dialogue, AcceptedAnswersFillTheStatusAndRouteToTheTransfer) {
  struct Case {
    const char* answer;
    std::string part1, part2;
  } cases[] = {
      {"magnetoflux A 1.2", "A", "1.2"},
      {"MAGNETOFLUX A", "A", ""},
      {"MAGNETOFLUX A 1.2 extra", "A", "1.2"},
      {"MAGNETOFLUX  A", "", "A"},
      {"MAGNETOFLUX VKD7 9.0\r\n", "VKD7", "9.0\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    devsim::Options options;
    options.version = c.answer;
    begin(options);
    EXPECT_EQ(host->route(), 0);
    identify();
    EXPECT_EQ(host->status.last_text(), status_for(c.part1, c.part2));
    ASSERT_EQ(host->found.count(), 1u);
    EXPECT_EQ(host->found.entries()[0].text.size(), 11u);
    EXPECT_EQ(host->route(), 1);
    EXPECT_EQ(host->written.last, "VERS");
    TearDown();
  }
}

TEST_F(Dialogue, RejectedAnswersReportNoDeviceAndKeepTheRoute) {
  for (const char* answer :
       {"MAGNETOFLUXX A 1.2", "XMAGNETOFLUX A 1.2", "MAGNETOFLUX", "MAGNETOFLU A 1.2"}) {
    SCOPED_TRACE(answer);
    devsim::Options options;
    options.version = answer;
    begin(options);
    identify();
    EXPECT_EQ(host->status.last_text(), kNotFound);
    EXPECT_EQ(host->not_found.count(), 1u);
    EXPECT_EQ(host->found.count(), 0u);
    EXPECT_EQ(host->route(), 0);
    TearDown();
  }
}

TEST_F(Dialogue, AFailedOpenNeverAsksTheDevice) {
  begin({});
  TData name;
  set_string(name, "COM9");  // nothing stands behind this name
  host->efdPort.doEvent(name, 0);
  identify();
  EXPECT_EQ(host->status.last_text(), kNotFound);
  EXPECT_EQ(host->written.writes, 0u);
  EXPECT_EQ(sim->results().vers_count, 0u);
  EXPECT_EQ(host->route(), 0);
}

// However the link cuts the answers (in one run each, in random pieces up to 20 ms apart, as
// a UART's receive FIFO or a USB adapter's latency timer hands them on), a good device takes
// the whole image, one write call per block, then the start command.
class DialogueDelivery : public Dialogue, public ::testing::WithParamInterface<devsim::Delivery> {};

TEST_P(DialogueDelivery, AGoodDeviceTakesTheWholeImageOneWritePerBlockThenTheStartCommand) {
  devsim::Options options;
  options.delivery = GetParam();
  options.max_gap = 20ms;
  options.seed = 13;
  begin(options);
  transfer_until_outcome();
  // "PUSK" leaves when the step that judged the final answer has ended.
  ASSERT_TRUE(run_until([&] { return sim->wait_done(0ms); }, 30s));
  run_until([] { return false; }, 100ms);  // anything late would show now

  devsim::Results r = sim->results();
  EXPECT_TRUE(r.image_matched);
  EXPECT_EQ(r.bytes_received, image_layout::kSize);
  EXPECT_TRUE(r.pusk_received);
  EXPECT_EQ(r.pusk_count, 1u);
  EXPECT_EQ(r.unexpected_bytes, 0u);
  // The sub-schemes hand the port "VERS", every image byte on its own, "PUSK"; the port
  // writes "VERS", each block in one call, "PUSK".
  EXPECT_EQ(host->written.writes, 1u + image_layout::kSize + 1u);
  EXPECT_EQ(host->written.bytes, 4u + image_layout::kSize + 4u);
  EXPECT_EQ(host->written.last, "PUSK");
  EXPECT_EQ(host->com.write_calls(), 1u + image_layout::kBlockCount + 1u);

  ASSERT_EQ(host->progress.count(), image_layout::kBlockCount - 1);
  for (std::size_t i = 0; i + 1 < image_layout::kBlockCount; ++i)
    ASSERT_EQ(host->progress.entries()[i].text, std::to_string(i + 1));
  EXPECT_EQ(host->success.count(), 1u);
  EXPECT_EQ(host->failure.count(), 0u);
  EXPECT_FALSE(host->transfer().tmrWatch->running());

  char expected[5];
  std::snprintf(expected, sizeof expected, "%04X", r.crc);
  EXPECT_EQ(host->crc_text(), expected);
}

INSTANTIATE_TEST_SUITE_P(Links, DialogueDelivery,
                         ::testing::Values(devsim::Delivery::Whole, devsim::Delivery::Random,
                                           devsim::Delivery::Fifo, devsim::Delivery::Ftdi),
                         [](const ::testing::TestParamInfo<devsim::Delivery>& p) {
                           return std::string(devsim::delivery_name(p.param));
                         });

// The identification answer cut in two (at every place, or at the places given; 0: in one
// write), the pieces apart: each line is judged whole when its line feed comes, and a line
// without one when the quiet time ends (given here by hand, so that a busy machine cannot end
// it between the pieces). A banner line before the answer is refused on its own, in the same
// run or apart; a line longer than 256 bytes is judged on its first 256, and the rest of it is
// dropped. Either way the device is found, and nothing of the answer reaches the transfer.
TEST_F(Dialogue, AnIdentificationAnswerCutAnywhereIsJudgedWhole) {
  const std::string long_line = "MAGNETOFLUX VKD7 9.0 " + std::string(300, 'x') + "\r\n";
  struct Case {
    std::string answer, part1, part2;
    std::vector<std::size_t> cuts;  // none: every place
    std::size_t statuses;           // texts the status line shows, the last one the device's
  } cases[] = {
      {"MAGNETOFLUX VKD7 9.0\r\n", "VKD7", "9.0\r\n", {}, 1},
      {"MAGNETOFLUX A 1.2", "A", "1.2", {}, 1},
      {"BOOT v2 ready\r\nMAGNETOFLUX VKD7 9.0\r\n", "VKD7", "9.0\r\n", {0, 15, 20}, 2},
      {long_line, "VKD7", "9.0", {0, 256, 100, 300}, 1},
  };
  for (const Case& c : cases) {
    const std::string& answer = c.answer;
    std::vector<std::size_t> cuts = c.cuts;
    for (std::size_t cut = 1; c.cuts.empty() && cut < answer.size(); ++cut) cuts.push_back(cut);
    for (std::size_t cut : cuts) {
      SCOPED_TRACE(answer.substr(0, 40) + " cut after " + std::to_string(cut));
      devsim::Options options;
      options.version = answer;
      options.version_cut = cut;
      options.split_pause = 10ms;
      begin(options);
      auto quiet = std::make_shared<testing_timer::HandTimer::State>();
      TKxAnswerCollector& collector = *host->identification().acAnswer;
      collector.use_backend(testing_timer::hand_timer(quiet));
      host->choose_port();
      if (answer.back() != '\n') {
        ASSERT_TRUE(run_until([&] { return collector.held() == answer; }));
        EXPECT_EQ(host->status.count(), 0u);
        ASSERT_TRUE(testing_timer::tick(*quiet));
      }
      ASSERT_TRUE(run_until([&] { return host->status.count() >= c.statuses; }));
      // Everything the device wrote has been read.
      const std::size_t writes = cut == 0 ? 1 : 2;
      ASSERT_TRUE(run_until(
          [&] { return sim->results().answers_sent == writes && !host->com.input_pending(); }));
      EXPECT_EQ(host->status.count(), c.statuses);
      EXPECT_EQ(host->status.last_text(), status_for(c.part1, c.part2));
      EXPECT_EQ(host->found.count(), 1u);
      EXPECT_EQ(host->route(), 1);
      EXPECT_EQ(host->failure.count(), 0u);
      EXPECT_TRUE(host->transfer().acReply->held().empty());
      EXPECT_TRUE(collector.held().empty());
      EXPECT_FALSE(testing_timer::tick(*quiet));  // no quiet time left running
      TearDown();
    }
  }
}

struct FaultCase {
  Fault fault;
  int block;
  std::size_t successes;
  std::size_t failures;
};

class DialogueFaults : public Dialogue, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DialogueFaults, EndAsTheDeviceAnswered) {
  const FaultCase& c = GetParam();
  devsim::Options options;
  options.fault = c.fault;
  options.fault_block = c.block;
  begin(options);
  transfer_until_outcome();
  // Whatever else follows comes at once; a second failure of a split answer included.
  run_until(
      [&] { return host->failure.count() >= c.failures && host->success.count() >= c.successes; },
      2s);
  if (c.successes > 0) {
    ASSERT_TRUE(run_until([&] { return sim->wait_done(0ms); }, 30s));
  }
  run_until([] { return false; }, 200ms);  // anything late would show now
  EXPECT_EQ(host->success.count(), c.successes);
  EXPECT_EQ(host->failure.count(), c.failures);
  // "PUSK" goes once, with the first success; a repeated final answer gets none.
  EXPECT_EQ(sim->results().pusk_count, c.successes);
  // Wrong, swapped, garbage and long answers are judged as they come, not left to the
  // watchdog (whose failure carries its count).
  if (c.failures > 0) {
    EXPECT_NE(host->failure.entries()[0].text, "3");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DialogueFaults,
    ::testing::Values(FaultCase{Fault::WrongCrc, 3, 0, 1}, FaultCase{Fault::SwappedCrc, 0, 0, 1},
                      FaultCase{Fault::SplitAnswer, 10, 1, 0},
                      FaultCase{Fault::SplitAnswer, image_layout::kLastBlock, 1, 0},
                      FaultCase{Fault::Garbage, 100, 0, 1}, FaultCase{Fault::LongAnswer, 7, 0, 1},
                      FaultCase{Fault::EarlyFz, 20, 1, 0},
                      FaultCase{Fault::WrongCrc, image_layout::kLastBlock, 0, 1},
                      FaultCase{Fault::RepeatFinal, 0, 1, 0}));

TEST_F(Dialogue, ASilentDeviceFailsOnTheThirdTickAndAgainAHundredAndOneTicksLater) {
  devsim::Options options;
  options.fault = Fault::SilentBlock;
  options.fault_block = 4;
  begin(options);
  hand_watchdog();
  identify();
  host->start_write();
  // Blocks 0 to 3 are answered; block 4 has gone out and gets no answer.
  ASSERT_TRUE(run_while_moving([&] { return host->progress.count() == 4; }));
  watchdog_tick();
  watchdog_tick();
  EXPECT_EQ(host->failure.count(), 0u);
  watchdog_tick();
  ASSERT_EQ(host->failure.count(), 1u);
  EXPECT_EQ(host->failure.last_text(), "3");  // the watchdog's count
  for (int tick = 1; tick < 101; ++tick) watchdog_tick();
  EXPECT_EQ(host->failure.count(), 1u);
  watchdog_tick();
  EXPECT_EQ(host->failure.count(), 2u);
  EXPECT_EQ(host->progress.count(), 4u);
  EXPECT_EQ(host->success.count(), 0u);
}

// The click's step gathers block 0; when it ends the block leaves in one write, and only then
// does the watchdog start.
TEST_F(Dialogue, TheWatchdogStartsOnceBlockZeroHasBeenHandedToThePort) {
  begin({});
  identify();
  queue.drain();
  const std::size_t calls = host->com.write_calls();
  host->start_write();
  EXPECT_EQ(host->com.pending_bytes(), image_layout::kBlockSize);
  EXPECT_FALSE(host->transfer().tmrWatch->running());
  ASSERT_TRUE(queue.run_one(1s));
  EXPECT_EQ(host->com.write_calls(), calls + 1);
  EXPECT_EQ(host->com.pending_bytes(), 0u);
  EXPECT_FALSE(host->transfer().tmrWatch->running());
  ASSERT_TRUE(queue.run_one(1s));
  EXPECT_TRUE(host->transfer().tmrWatch->running());
}

// After the last block only the CRC followed by "FZ" ends the transfer: the CRC alone waits
// for the rest, the watchdog ends the wait, and no block follows the image.
TEST_F(Dialogue, ACrcWithoutFzAfterTheLastBlockFailsOnTheWatchdog) {
  devsim::Options options;
  options.fault = Fault::MissingFz;
  options.fault_block = image_layout::kLastBlock;
  begin(options);
  hand_watchdog();
  identify();
  host->start_write();
  ASSERT_TRUE(run_while_moving([&] {
    return host->progress.count() == image_layout::kBlockCount - 1 &&
           host->transfer().acReply->held().size() == 2;
  }));
  watchdog_tick();
  watchdog_tick();
  EXPECT_EQ(host->failure.count(), 0u);
  watchdog_tick();
  EXPECT_EQ(host->success.count(), 0u);
  EXPECT_EQ(host->failure.count(), 1u);
  EXPECT_EQ(host->failure.last_text(), "3");  // the watchdog's count
  EXPECT_EQ(host->progress.count(), image_layout::kBlockCount - 1);
  const devsim::Results r = sim->results();
  EXPECT_TRUE(r.image_matched);
  EXPECT_EQ(r.bytes_received, image_layout::kSize);
  EXPECT_EQ(r.unexpected_bytes, 0u);
  EXPECT_FALSE(r.pusk_received);
}

// After a failure the transfer is over: what the collector held is dropped, and a late answer,
// even the right CRC or the CRC followed by "FZ", neither sends a block nor "PUSK", nor reports
// anything more.
TEST_F(Dialogue, AfterAFailureLateAnswersSendNothing) {
  for (const bool silence : {true, false}) {
    SCOPED_TRACE(silence ? "watchdog" : "wrong answer");
    devsim::Options options;
    options.fault = Fault::SilentBlock;
    options.fault_block = 0;
    begin(options);
    // Silence fails on the third tick, and the next failure of the watchdog would come 101
    // ticks later; after a wrong answer the watchdog does not tick.
    hand_watchdog();
    identify();
    host->start_write();
    queue.drain();
    const std::string crc_text = host->crc_text();
    ASSERT_EQ(crc_text.size(), 4u);
    const std::string crc = {static_cast<char>(std::stoi(crc_text.substr(0, 2), nullptr, 16)),
                             static_cast<char>(std::stoi(crc_text.substr(2, 2), nullptr, 16))};
    auto receive = [&](const std::string& bytes) {
      TData d;
      set_string(d, bytes);
      fire(make_link<&TKxMultiElementEx::doWork>(transfer_pins::kReceived, &host->mxFlash), d);
    };
    if (silence) {
      receive(crc.substr(0, 1));  // the high byte; the low one comes after the watchdog
      for (int tick = 0; tick < 3; ++tick) watchdog_tick();
    } else {
      receive("XYZ");
    }
    ASSERT_EQ(host->failure.count(), 1u);
    const std::size_t writes = host->written.writes;
    for (const std::string& late : {crc.substr(1), crc, crc + "FZ"}) {
      receive(late);
      run_until([] { return false; }, 50ms);
    }
    host->start_write();  // a click that still reaches the transfer
    run_until([] { return false; }, 50ms);
    EXPECT_EQ(host->written.writes, writes);
    EXPECT_EQ(host->progress.count(), 0u);
    EXPECT_EQ(host->success.count(), 0u);
    EXPECT_EQ(host->failure.count(), 1u);
    EXPECT_TRUE(host->transfer().acReply->held().empty());
    TearDown();
  }
}

// A pulled adapter: the reader's wait ends, no byte comes any more, and the watchdog (or a
// failed read) ends the transfer; nothing hangs.
TEST_F(Dialogue, APulledPortEndsInAFailureWithoutAHang) {
  devsim::Options options;
  options.fault = Fault::Unplug;
  options.fault_block = 50;
  begin(options);
  hand_watchdog();
  identify();
  host->start_write();
  ASSERT_TRUE(run_while_moving([&] { return sim->results().unplugged; }));
  for (int tick = 0; tick < 3 && host->failure.count() == 0; ++tick) watchdog_tick();
  EXPECT_EQ(host->success.count(), 0u);
  EXPECT_EQ(host->failure.count(), 1u);
  EXPECT_EQ(host->progress.count(), 50u);
}

}  // namespace
}  // namespace kx
