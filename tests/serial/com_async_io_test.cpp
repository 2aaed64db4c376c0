// TKxComAsync moving bytes: every byte value written, reads in bursts, and what happens when the
// port is closed or goes away with events still queued.
#include "tests/serial/com_async_fixture.hpp"

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
  peer.unplug();
  std::this_thread::sleep_for(100ms);  // the reader sees the hang-up and ends
  queue.drain();
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

}  // namespace
}  // namespace kx::serial_testing
