// TKxComAsync moving bytes: every byte value written, reads in bursts, and what happens when the
// port is closed or goes away with events still queued, and closes bounded against a call that
// never returns.
#include "tests/serial/com_async_fixture.hpp"
#include "tests/serial/hanging_port.hpp"

#include <sys/ioctl.h>

#include "runtime/input_pending.hpp"

namespace kx::serial_testing {
namespace {

TEST_F(ComAsyncTest, WritesEveryByteValue) {
  call_open(*com, "COM7");
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  rec.clear();
  // What one step writes leaves in one call when the step ends.
  call_write(*com, all.substr(0, 100));
  call_write(*com, all.substr(100));
  EXPECT_TRUE(rec.log.empty());
  EXPECT_EQ(com->pending_bytes(), 256u);
  const std::size_t calls = com->write_calls();
  queue.drain();
  EXPECT_EQ(rec.log, (Log{"Written:256"}));
  EXPECT_EQ(com->write_calls(), calls + 1);
  EXPECT_EQ(peer.receive(256, 2s), all);

  rec.clear();
  call_write(*com, "");
  EXPECT_EQ(rec.log, (Log{"Written:0"}));

  // A close writes what the step gathered first, then closes.
  rec.clear();
  call_write(*com, "last");
  call_close(*com);
  Log closing = {"Written:4"};
  closing.insert(closing.end(), kCloseEvents.begin(), kCloseEvents.end());
  EXPECT_EQ(rec.log, closing);
  EXPECT_EQ(com->pending_bytes(), 0u);
  queue.drain();
  EXPECT_EQ(rec.log, closing);
  rec.clear();
  call_write(*com, "x");  // closed: nothing
  call_read(*com, 1);
  EXPECT_TRUE(rec.log.empty());
}

// A close right after a write (the last command before the program ends) takes back nothing
// that was written, even when the far side has not read it yet. A few kilobytes are still on
// their way through the terminal when the close comes: the purge of the output took them back.
TEST_F(ComAsyncTest, ACloseRightAfterAWriteKeepsEveryByteWritten) {
  call_open(*com, "COM7");
  std::string bytes;
  for (int i = 0; i < 6000; ++i) bytes.push_back(static_cast<char>('A' + i % 26));
  bytes += "PUSK";
  call_write(*com, bytes);
  const auto start = std::chrono::steady_clock::now();
  call_close(*com);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);  // the drain is bounded
  EXPECT_EQ(peer.receive(bytes.size(), 2s), bytes);
}

TEST_F(ComAsyncTest, EachBurstArrivesAsOneStringWithNulBytesKept) {
  call_open(*com, "COM7");
  rec.clear();
  const std::string first("\x12\x00\x34\x00", 4);
  peer.send(first);
  ASSERT_TRUE(queue.run_until([&] { return rec.count("Read") == 1; }, 3s));
  peer.send("FZ");
  ASSERT_TRUE(queue.run_until([&] { return rec.count("Read") == 2; }, 3s));
  queue.drain();
  EXPECT_EQ(rec.log, (Log{"RxChar:4", "Read:" + first, "RxChar:2", "Read:FZ"}));
}

TEST_F(ComAsyncTest, ManyBurstsNeverGiveAnEmptyRead) {
  call_open(*com, "COM7");
  rec.clear();
  std::string sent;
  for (int i = 0; i < 200; ++i) {
    const std::string burst = {static_cast<char>(i), static_cast<char>(i >> 1)};
    peer.send(burst);
    sent += burst;
    queue.drain();
  }
  std::string got;
  ASSERT_TRUE(queue.run_until(
      [&] {
        got.clear();
        for (std::size_t i = 0; i < rec.log.size(); ++i)
          if (rec.log[i].rfind("Read:", 0) == 0) got += rec.values[i].str_value;
        return got.size() == sent.size();
      },
      5s));
  EXPECT_EQ(got, sent);
  for (std::size_t i = 0; i < rec.log.size(); ++i) {
    EXPECT_NE(rec.log[i], "RxChar:0");
    EXPECT_NE(rec.log[i], "Read:");
  }
}

TEST_F(ComAsyncTest, ByteEventAfterTheBytesWereReadFiresNothing) {
  call_open(*com, "COM7");
  rec.clear();
  peer.send("abc");
  // The reader has handed the event over; before it is handled the bytes are read anyway.
  wait_for_handover();
  ASSERT_EQ(queue.pending(), 1u);
  call_read(*com, 100);
  queue.drain();
  EXPECT_EQ(rec.log, (Log{"Read:abc"}));  // no onRxChar 0, hence no empty read
}

TEST_F(ComAsyncTest, NoEventAfterClosed) {
  call_open(*com, "COM7");
  rec.clear();
  peer.send("late");
  wait_for_handover();
  ASSERT_EQ(queue.pending(), 1u);
  call_close(*com);
  queue.drain();
  EXPECT_EQ(rec.log, kCloseEvents);

  // Reopened: the stale event of the old opening stays dead, new bytes come through.
  call_open(*com, "COM7");
  peer.send("new");
  ASSERT_TRUE(queue.run_until([&] { return rec.count("Read") == 1; }, 3s));
  EXPECT_EQ(rec.log.back(), "Read:new");
}

// The received bytes make the scheme close the port while the reader waits for that very
// event to be handled: the close must not wait for the reader, nor the reader for the close.
struct CloseOnRead {
  TKxComAsync* com = nullptr;
  Recorder* rec = nullptr;
  void on(TData& d, std::uint16_t) {
    rec->log.push_back("Read:" + d.str_value);
    TData none;
    com->doClose(none, 1);
  }
};

TEST_F(ComAsyncTest, CloseFromInsideAReceivedEvent) {
  CloseOnRead closer{com.get(), &rec};
  com->onRead = make_link<&CloseOnRead::on>(0, &closer);
  call_open(*com, "COM7");
  rec.clear();
  peer.send("x");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(queue.run_until([&] { return rec.count("Closed") == 1; }, 3s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  queue.drain();
  Log expected = {"RxChar:1", "Read:x"};
  expected.insert(expected.end(), kCloseEvents.begin(), kCloseEvents.end());
  EXPECT_EQ(rec.log, expected);
  EXPECT_FALSE(com->is_open());
}

TEST_F(ComAsyncTest, DestructionWithEventsQueued) {
  call_open(*com, "COM7");
  peer.send("bytes");
  wait_for_handover();
  ASSERT_EQ(queue.pending(), 1u);
  rec.clear();
  com.reset();
  EXPECT_EQ(rec.log, kCloseEvents);
  queue.drain();  // the queued event finds its element gone
  EXPECT_EQ(rec.log, kCloseEvents);
}

TEST_F(ComAsyncTest, PortGoneWhileOpen) {
  call_open(*com, "COM7");
  ASSERT_TRUE(com->is_open());
  EXPECT_EQ(com->port_failure(), "");
  peer.unplug();
  std::this_thread::sleep_for(100ms);  // the reader sees the hang-up and ends
  queue.drain();
  // The reader's failed wait is told on the element thread, once.
  EXPECT_EQ(com->port_failure(),
            "the port reported an error: the port was removed or its wait for events failed, OS "
            "error 5");
  rec.clear();
  auto start = std::chrono::steady_clock::now();
  call_write(*com, "x");
  queue.drain();
  call_read(*com, 10);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  // Writing to a hung-up line fails at once; reading it gives nothing.
  EXPECT_EQ(rec.count("Written:1"), 0u);
  EXPECT_EQ(rec.count("Read"), rec.count("Read:"));

  rec.clear();
  start = std::chrono::steady_clock::now();
  call_close(*com);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(rec.log, kCloseEvents);
  queue.drain();
  EXPECT_EQ(rec.log, kCloseEvents);
}

// Input counts as pending while the reader's event is on its way or bytes wait that onRxChar
// has not reported; what it reported and nobody read does not count again.
TEST_F(ComAsyncTest, InputPendingUntilTheElementHandledIt) {
  call_open(*com, "COM7");
  EXPECT_FALSE(input_pending());
  peer.send("ab");
  wait_for_handover();
  EXPECT_TRUE(input_pending());
  queue.drain();  // reported and read by the tap
  EXPECT_FALSE(input_pending());
  call_close(*com);

  // Unread: reported once, then no longer pending.
  TKxComAsync deaf;
  set_up_as_the_tool(deaf);
  Recorder r;
  deaf.onRxChar = r.link("RxChar");
  call_open(deaf, "COM7");
  peer.send("cd");
  wait_for_handover();
  EXPECT_TRUE(input_pending());
  queue.drain();
  EXPECT_EQ(r.log, (Log{"RxChar:2"}));
  EXPECT_FALSE(input_pending());
  call_close(deaf);

  // Without a reader: bytes in the port's queue are pending until read.
  deaf.EvRxChar = false;
  call_open(deaf, "COM7");
  ASSERT_FALSE(deaf.has_reader());
  peer.send("e");
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (!input_pending() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(input_pending());
  call_read(deaf, 3);
  EXPECT_FALSE(input_pending());
  call_close(deaf);
  EXPECT_FALSE(input_pending());
}

TEST_F(ComAsyncTest, WithoutWatchedEventsThereIsNoReaderButTransfersWork) {
  com->EvRxChar = false;
  com->ReadIntervalTimeout = 0;
  com->ReadTotalTimeoutConstant = 200;
  call_open(*com, "COM7");
  ASSERT_TRUE(com->is_open());
  EXPECT_FALSE(com->has_reader());
  rec.clear();

  peer.send("xy");
  const auto start = std::chrono::steady_clock::now();
  call_read(*com, 10);  // waits for the total time-out, then gives what came
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
  call_read(*com, 0);
  call_write(*com, "ok");
  queue.drain();
  EXPECT_EQ(rec.log, (Log{"Read:xy", "Read:", "Written:2"}));
  EXPECT_EQ(peer.receive(2, 1s), "ok");
  queue.drain();
  EXPECT_EQ(rec.count("RxChar"), 0u);
}

// The window thread never waits without bound: a close ends within 1 s with the reader stuck in
// the driver (it is left behind holding the port, which goes when the reader lets it go), and
// a real port's close does not wait for a call of another thread that never returns.
TEST_F(ComAsyncTest, CloseIsBoundedAgainstACallThatNeverReturns) {
  auto gate = std::make_shared<HangingPort::Gate>();  // the wait for events hangs
  TKxComAsync hung(HangingPort::opener(gate));
  set_up_as_the_tool(hung);
  Recorder r;
  wire(hung, r);
  call_open(hung, "COM3");
  ASSERT_TRUE(hung.is_open());
  ASSERT_TRUE(gate->wait_until([&] { return gate->waiting; }));
  r.clear();
  auto start = std::chrono::steady_clock::now();
  call_close(hung);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(r.log, kCloseEvents);
  EXPECT_FALSE(hung.is_open());
  EXPECT_TRUE(gate->wait_until([&] { return gate->closes == 1; }));
  EXPECT_EQ(gate->alive, 1);  // the stuck reader still holds the port
  gate->release();
  EXPECT_TRUE(gate->wait_until([&] { return gate->alive == 0; }));
  queue.drain();
  EXPECT_EQ(r.log, kCloseEvents);  // the late failure of a closed port is not told

  // The POSIX port: a read with no time-out blocks on another thread; the close does not wait
  // for it, every later call fails, and the terminal is let go when the read returns.
  std::shared_ptr<serial::Port> port = serial::open_port("COM7");
  ASSERT_TRUE(port);
  ASSERT_TRUE(port->set_timeouts(serial::Timeouts{}));
  std::thread blocked([port] {
    std::string out;
    port->read(4, out);
  });
  std::this_thread::sleep_for(50ms);
  start = std::chrono::steady_clock::now();
  port->close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  std::size_t written = 0;
  EXPECT_EQ(port->write("x", written), serial::Io::Refused);
  serial::OpenError why;
  EXPECT_FALSE(serial::open_port("COM7", &why));  // still held by the read
  EXPECT_EQ(why.problem, serial::OpenProblem::Busy);
  peer.send("wake");
  blocked.join();
  port.reset();  // the last holder: the handle goes
  EXPECT_TRUE(serial::open_port("COM7"));
}

// A terminal that another opener made exclusive without taking the lock is busy to this one,
// also where the system lets a privileged process open it all the same (the tests run as
// root in CI); the holder's exclusive mode is left as it was.
TEST_F(ComAsyncTest, ATerminalAnotherOpenerMadeExclusiveIsBusy) {
  ASSERT_EQ(ioctl(peer.terminal_fd(), TIOCEXCL), 0);
  serial::OpenError why;
  EXPECT_FALSE(serial::open_port("COM7", &why));
  EXPECT_EQ(why.problem, serial::OpenProblem::Busy);
  int exclusive = 0;
  ASSERT_EQ(ioctl(peer.terminal_fd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_NE(exclusive, 0);
  ASSERT_EQ(ioctl(peer.terminal_fd(), TIOCNXCL), 0);
  EXPECT_TRUE(serial::open_port("COM7"));
}

}  // namespace
}  // namespace kx::serial_testing
