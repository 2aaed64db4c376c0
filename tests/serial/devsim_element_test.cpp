// The serial element driving a whole small transfer against the simulator, on a paced line,
// with a split answer and with the port pulled.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "elements/serial/com_async.hpp"
#include "elements/serial/port_table.hpp"
#include "runtime/element_thread.hpp"
#include "tests/serial/devsim_testing.hpp"
#include "tests/serial/pty_peer.hpp"
#include "tools/devsim/simulator.hpp"
#include "tools/harness/tool_port.hpp"

namespace kx {
namespace {

using namespace std::chrono_literals;
using devsim::Fault;
using devsim::Options;
using devsim::Simulator;
using Clock = std::chrono::steady_clock;

using devsim_testing::crc_text;
using devsim_testing::kBlock;

// The serial element, wired as the tool wires it (onRxChar to its own doRead), driven by a
// small stand-in for the transfer logic: every received block is judged as the tool judges it.
struct ToolDriver {
  TKxComAsync* com = nullptr;
  std::vector<std::uint8_t> image;
  std::uint16_t crc = 0xFFFF;
  std::size_t next = 0;
  std::string identity;
  std::vector<std::string> reads;
  bool identified = false, succeeded = false, failed = false;
  std::size_t acked = 0;

  void send_block() {
    for (std::size_t i = 0; i < kBlock; ++i) {
      const std::uint8_t b = next < image.size() ? image[next] : 0;
      ++next;
      TData d;
      set_string(d, std::string(1, static_cast<char>(b)));  // one byte per write
      com->doWrite(d, 2);
      crc = devsim::crc16_step(crc, b);
    }
  }
  void on_read(TData& d, std::uint16_t) {
    reads.push_back(d.str_value);
    if (!identified) {
      identity = d.str_value;
      identified = true;
      return;
    }
    if (d.str_value == crc_text(crc) + "FZ") {
      TData p;
      set_string(p, "PUSK");
      com->doWrite(p, 2);
      succeeded = true;
    } else if (d.str_value == crc_text(crc)) {
      ++acked;
      send_block();
    } else {
      failed = true;
    }
  }
};

class ElementWithSimulator : public ::testing::Test {
 protected:
  void SetUp() override {
    enable_pins();
    harness::set_up_as_the_tool(com);
    com.onRxChar = make_link<&TKxComAsync::doRead>(3, &com);
    com.onRead = make_link<&ToolDriver::on_read>(0, &driver);
    com.onClosed = closed.link("Closed");
    driver.com = &com;
  }
  void TearDown() override {
    sim.reset();
    TData d;
    com.doClose(d, 1);
    queue.drain();
    clear_registered_ports();
    disable_pins();
  }
  // The simulator with options `o` on COM5, the driver given its image, and the device
  // identified.
  void start(const Options& o) {
    driver.image = o.image;
    sim = std::make_unique<Simulator>(o);
    ASSERT_TRUE(sim->start());
    clear_registered_ports();
    register_port("COM5", sim->port_path());
    TData d;
    set_string(d, "COM5");
    com.doOpen(d, 0);
    ASSERT_TRUE(com.is_open());
    set_string(d, "VERS");
    com.doWrite(d, 2);
    ASSERT_TRUE(queue.run_until([&] { return driver.identified; }, 3s));
  }

  EventQueue queue;
  ScopedElementThread scoped{&queue};
  TKxComAsync com;
  ToolDriver driver;
  test::Recorder closed;
  std::unique_ptr<Simulator> sim;
};

TEST_F(ElementWithSimulator, WholeTransferOnAPacedLine) {
  constexpr std::size_t blocks = 16;
  Options o;
  o.image = test::test_image(blocks * kBlock, 11);
  o.baud = 38462;
  start(o);
  EXPECT_EQ(driver.identity, "MAGNETOFLUX VKD7 9.0\r\n");
  driver.send_block();
  ASSERT_TRUE(queue.run_until([&] { return driver.succeeded || driver.failed; }, 20s));
  EXPECT_TRUE(driver.succeeded);
  EXPECT_EQ(driver.acked, blocks - 1);
  // "PUSK" leaves when the step that wrote it has ended.
  ASSERT_TRUE(queue.run_until([&] { return sim->wait_done(0ms); }, 3s));
  const auto r = sim->results();
  EXPECT_TRUE(r.image_matched);
  EXPECT_TRUE(r.pusk_received);
  for (const std::string& s : driver.reads) EXPECT_FALSE(s.empty());
}

TEST_F(ElementWithSimulator, SplitAnswerFailsTheJudgement) {
  Options o;
  o.image = test::test_image(4 * kBlock, 3);
  o.fault = Fault::SplitAnswer;
  o.fault_block = 1;
  start(o);
  driver.send_block();
  ASSERT_TRUE(queue.run_until([&] { return driver.failed; }, 5s));
  EXPECT_EQ(driver.acked, 1u);
  EXPECT_EQ(driver.reads.back().size(), 1u);
}

TEST_F(ElementWithSimulator, PortPulledMidTransfer) {
  Options o;
  o.image = test::test_image(8 * kBlock, 5);
  o.fault = Fault::Unplug;
  o.fault_block = 2;
  start(o);
  driver.send_block();
  ASSERT_TRUE(queue.run_until([&] { return sim->results().done; }, 5s));
  queue.run_until([] { return false; }, 200ms);  // whatever the hang-up brings, it comes now
  EXPECT_EQ(driver.acked, 2u);
  EXPECT_FALSE(driver.succeeded);
  // Writing to the pulled port neither hangs nor pretends to succeed; closing runs normally.
  const auto t0 = Clock::now();
  driver.send_block();
  TData d;
  com.doClose(d, 1);
  EXPECT_LT(Clock::now() - t0, 2s);
  EXPECT_EQ(closed.log, (std::vector<std::string>{"Closed"}));
  EXPECT_FALSE(com.is_open());
}

}  // namespace
}  // namespace kx
