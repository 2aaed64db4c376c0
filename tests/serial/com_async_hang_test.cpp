// TKxComAsync against a driver that hangs in the open or in the close: the element thread goes
// on within its bound, reports what happened with the usual events, and the port the hung call
// gives back late is closed by the thread that waited for it.
#include "tests/serial/com_async_fixture.hpp"
#include "tests/serial/hanging_port.hpp"

namespace kx::serial_testing {
namespace {

// Far less than a hang lasts (6 s) even on a busy machine, far more than the bounds (1 s for an
// open, 2.1 s for a close) need.
constexpr auto kWellBeforeTheHangEnds = 4s;

struct Hung {
  std::shared_ptr<HangingPort::Gate> gate = std::make_shared<HangingPort::Gate>();
  TKxComAsync com{HangingPort::opener(gate)};
  Recorder rec;
};

TEST_F(ComAsyncTest, AnOpenThatDoesNotAnswerFailsWithinItsBound) {
  Hung h;
  set_up_as_the_tool(h.com);
  wire(h.com, h.rec);
  h.gate->hang_open = true;
  h.gate->hang_wait = false;
  auto t0 = std::chrono::steady_clock::now();
  call_open(h.com, "COM3");
  EXPECT_LT(std::chrono::steady_clock::now() - t0, kWellBeforeTheHangEnds);
  EXPECT_EQ(h.rec.log, (Log{"Opening", "Open:0"}));
  EXPECT_FALSE(h.com.is_open());
  EXPECT_EQ(h.com.open_failure(),
            "the port cannot be opened: the driver did not answer within 1 s");

  // The hung open returns: the port it brings is closed and let go on its own thread.
  h.gate->release();
  EXPECT_TRUE(h.gate->wait_until([&] { return h.gate->closes == 1 && h.gate->alive == 0; }));
  queue.drain();
  EXPECT_EQ(h.rec.log, (Log{"Opening", "Open:0"}));

  // The element opens again as if nothing had happened.
  h.gate->hang_open = false;
  h.rec.clear();
  call_open(h.com, "COM3");
  EXPECT_EQ(h.rec.log, (Log{"Opening", "Open:3"}));
  EXPECT_EQ(h.com.open_failure(), "");
  EXPECT_TRUE(h.com.has_reader());
  call_close(h.com);
  EXPECT_EQ(h.rec.log, (Log{"Opening", "Open:3", "Closing", "Cts:0", "Dsr:0", "Rlsd:0", "Closed"}));
  EXPECT_TRUE(h.gate->wait_until([&] { return h.gate->alive == 0; }));
}

// A close whose drain or close hangs in the driver: the element thread goes on, its close events
// come in their order, the port stays with the thread until the driver lets go, and the element
// opens a port again meanwhile (after waiting for that teardown as long as an open waits).
TEST_F(ComAsyncTest, ACloseThatHangsEndsWithinItsBound) {
  for (bool HangingPort::Gate::*where :
       {&HangingPort::Gate::hang_drain, &HangingPort::Gate::hang_close}) {
    Hung h;
    set_up_as_the_tool(h.com);
    wire(h.com, h.rec);
    h.gate->hang_wait = false;
    (*h.gate).*where = true;
    call_open(h.com, "COM3");
    ASSERT_TRUE(h.com.is_open());
    h.rec.clear();
    const auto t0 = std::chrono::steady_clock::now();
    call_close(h.com);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, kWellBeforeTheHangEnds);
    EXPECT_EQ(h.rec.log, kCloseEvents);
    EXPECT_FALSE(h.com.is_open());
    EXPECT_TRUE(h.gate->wait_until([&] { return h.gate->waiting; }));
    EXPECT_EQ(h.gate->alive, 1);  // the hung teardown holds it

    {
      std::lock_guard<std::mutex> lock(h.gate->mutex);
      *h.gate.*where = false;  // the next port's driver answers
      h.gate->stopped = false;
    }
    h.rec.clear();
    call_open(h.com, "COM3");
    EXPECT_EQ(h.rec.log, (Log{"Opening", "Open:3"}));
    EXPECT_EQ(h.gate->alive, 2);

    h.gate->release();
    EXPECT_TRUE(h.gate->wait_until([&] { return h.gate->closes == 1 && h.gate->alive == 1; }));
    call_close(h.com);
    EXPECT_TRUE(h.gate->wait_until([&] { return h.gate->closes == 2 && h.gate->alive == 0; }));
    queue.drain();
  }
}

// A driver that is only slow: the reader does not leave and is left behind after its bound, the
// drain takes its whole bound (a line held by flow control; FlushOnClose's longer one) and the
// close its own. The element waits for all of it: the port is closed to the end when it goes on.
TEST_F(ComAsyncTest, ACloseThatIsOnlySlowIsWaitedFor) {
  Hung h;
  set_up_as_the_tool(h.com);
  wire(h.com, h.rec);
  h.com.FlushOnClose = true;
  h.gate->slow = true;
  call_open(h.com, "COM3");
  ASSERT_TRUE(h.com.is_open());
  h.rec.clear();
  call_close(h.com);
  EXPECT_EQ(h.rec.log, kCloseEvents);
  EXPECT_EQ(h.gate->now(&HangingPort::Gate::held), 0);
  EXPECT_EQ(h.gate->now(&HangingPort::Gate::closes), 1);
  h.gate->release();  // the reader left behind ends
  EXPECT_TRUE(h.gate->wait_until([&] { return h.gate->alive == 0; }));
  queue.drain();
}

// A close given up on a driver that hangs in its close: an open of the port started right after
// waits for that teardown. When the driver lets go soon after, the open succeeds; while it does
// not, the open fails plainly as busy once its wait is over.
TEST_F(ComAsyncTest, AnOpenWaitsForTheTeardownOfAnEarlierClose) {
  for (const bool lets_go : {true, false}) {
    SCOPED_TRACE(lets_go ? "the driver lets go" : "the driver hangs on");
    Hung h;
    set_up_as_the_tool(h.com);
    wire(h.com, h.rec);
    h.gate->hang_wait = false;
    h.gate->hang_close = true;
    h.gate->exclusive = true;
    call_open(h.com, "COM3");
    ASSERT_TRUE(h.com.is_open());
    call_close(h.com);
    ASSERT_EQ(h.gate->now(&HangingPort::Gate::held), 1);  // given up; the teardown holds it
    {
      std::lock_guard<std::mutex> lock(h.gate->mutex);
      h.gate->hang_close = false;  // the next port's driver answers
      h.gate->stopped = false;
    }
    std::thread driver;
    if (lets_go) {
      driver = std::thread([gate = h.gate] {
        std::this_thread::sleep_for(300ms);
        gate->release();
      });
    }
    h.rec.clear();
    const auto t0 = std::chrono::steady_clock::now();
    call_open(h.com, "COM3");
    const auto took = std::chrono::steady_clock::now() - t0;
    if (driver.joinable()) driver.join();
    if (lets_go) {
      EXPECT_EQ(h.rec.log, (Log{"Opening", "Open:3"}));
      EXPECT_EQ(h.com.open_failure(), "");
      call_close(h.com);
    } else {
      EXPECT_EQ(h.rec.log, (Log{"Opening", "Open:0"}));
      EXPECT_EQ(h.com.open_failure(),
                "the port cannot be opened: busy (held by another program), OS error 16");
      EXPECT_GE(took, 900ms);
      EXPECT_LT(took, kWellBeforeTheHangEnds);
      h.gate->release();
    }
    EXPECT_TRUE(h.gate->wait_until([&] { return h.gate->alive == 0; }));
    queue.drain();
  }
}

}  // namespace
}  // namespace kx::serial_testing
