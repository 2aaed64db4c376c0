// TKxComAsync on pseudo-terminals: event order, name checks, the port list, writing and
// reading, and what happens when the port is closed or goes away with events still queued.
#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "elements/serial/com_async.hpp"
#include "elements/serial/port_probe.hpp"
#include "elements/serial/port_table.hpp"
#include "runtime/element_thread.hpp"
#include "tests/serial/pty_peer.hpp"

namespace kx {
namespace {

using namespace std::chrono_literals;
using test::PtyPeer;
using test::Recorder;
using Log = std::vector<std::string>;

// The settings the tool's main window gives its port.
void configure(TKxComAsync& c) {
  c.Baud = 38462;
  c.DataBits = 3;
  c.AbortOnError = true;
  c.XoffChar = 19;
  c.XonChar = 17;
  c.InQueue = 4096;
  c.OutQueue = 4096;
  c.EvRxChar = true;
  c.ReadIntervalTimeout = 0xFFFFFFFFu;
  c.WriteTotalTimeoutConstant = 1000;
  c.WriteTotalTimeoutMultiplier = 100;
  c.CheckPorts = true;
}

// onRxChar is recorded, then passed on to the element's own doRead (as the tool wires it).
struct RxTap {
  TKxComAsync* com = nullptr;
  Recorder* rec = nullptr;
  std::uint16_t name = 0;
  void on(TData& d, std::uint16_t) {
    rec->on(d, name);
    com->doRead(d, 3);
  }
};

class ComAsyncTest : public ::testing::Test {
 protected:
  void SetUp() override {
    enable_pins();
    clear_registered_ports();
    register_port("COM7", peer.path());
    com = std::make_unique<TKxComAsync>();
    configure(*com);
    wire(*com, rec);
  }
  void TearDown() override {
    com.reset();
    queue.drain();
    clear_registered_ports();
    disable_pins();
  }

  void wire(TKxComAsync& c, Recorder& r) {
    c.onOpening = r.link("Opening");
    c.onOpen = r.link("Open");
    c.onClosing = r.link("Closing");
    c.onClosed = r.link("Closed");
    c.onCts = r.link("Cts");
    c.onDsr = r.link("Dsr");
    c.onRlsd = r.link("Rlsd");
    c.onWritten = r.link("Written");
    c.onRead = r.link("Read");
    c.onPortName = r.link("PortName");
    r.names.push_back("RxChar");
    tap = {&c, &r, static_cast<std::uint16_t>(r.names.size() - 1)};
    c.onRxChar = make_link<&RxTap::on>(0, &tap);
  }

  static void call_open(TKxComAsync& c, const std::string& name) {
    TData d;
    set_string(d, name);
    c.doOpen(d, 0);
  }
  static void call_close(TKxComAsync& c) {
    TData d;
    c.doClose(d, 1);
  }
  static void call_write(TKxComAsync& c, const std::string& bytes) {
    TData d;
    set_string(d, bytes);
    c.doWrite(d, 2);
  }
  static void call_read(TKxComAsync& c, std::int32_t count) {
    TData d;
    set_integer(d, count);
    c.doRead(d, 3);
  }
  static void call_list(TKxComAsync& c) {
    TData d;
    c.doPortList(d, 4);
  }

  EventQueue queue;
  ScopedElementThread scoped{&queue};
  PtyPeer peer;
  Recorder rec;
  RxTap tap;
  std::unique_ptr<TKxComAsync> com;
};

const Log kCloseEvents = {"Closing", "Cts:0", "Dsr:0", "Rlsd:0", "Closed"};

TEST_F(ComAsyncTest, BadNamesFailWithoutAnOpenAttempt) {
  // Every bad name is mapped to a working terminal: an open attempt would succeed.
  for (const char* name : {"COM0", "COM256", "COM", "LPT1", "COM1234", "XCOM1", ""}) {
    register_port(name, peer.path());
    rec.clear();
    call_open(*com, name);
    EXPECT_EQ(rec.log, (Log{"Opening", "Open:0"})) << name;
    EXPECT_FALSE(com->is_open()) << name;
  }
}

TEST_F(ComAsyncTest, NamesAreOpenedAsWrittenWithTheirNumber) {
  call_open(*com, "com7");
  EXPECT_EQ(rec.log, (Log{"Opening", "Open:7"}));
  EXPECT_EQ(com->port_name(), "com7");
  call_close(*com);

  // The number ends at the first non-digit; the whole name is what gets opened.
  register_port("COM1x", peer.path());
  rec.clear();
  call_open(*com, "COM1x");
  EXPECT_EQ(rec.log, (Log{"Opening", "Open:1"}));
  call_close(*com);

  register_port("COM10", peer.path());
  rec.clear();
  call_open(*com, "COM10");
  EXPECT_EQ(rec.log, (Log{"Opening", "Open:10"}));
}

TEST_F(ComAsyncTest, PortPropertyIsUsedWhenTheEventCarriesNoName) {
  com->Port = "COM7";
  TData d;
  com->doOpen(d, 0);
  EXPECT_EQ(rec.log, (Log{"Opening", "Open:7"}));
}

TEST_F(ComAsyncTest, OpenCloseEventOrderAndRepeats) {
  call_open(*com, "COM7");
  // A pseudo-terminal has no modem lines: no line event, the open still succeeds.
  EXPECT_EQ(rec.log, (Log{"Opening", "Open:7"}));
  EXPECT_TRUE(com->has_reader());
  EXPECT_EQ(com->event_mask(), 0x0001u);

  rec.clear();
  call_open(*com, "COM7");  // already open: nothing at all
  EXPECT_TRUE(rec.log.empty());

  call_close(*com);
  EXPECT_EQ(rec.log, kCloseEvents);
  EXPECT_FALSE(com->is_open());
  EXPECT_FALSE(com->has_reader());

  rec.clear();
  call_close(*com);  // already closed: nothing
  EXPECT_TRUE(rec.log.empty());

  // The exclusive hold is released: the same port opens again at once.
  call_open(*com, "COM7");
  EXPECT_EQ(rec.log, (Log{"Opening", "Open:7"}));
}

TEST_F(ComAsyncTest, FailedOpens) {
  call_open(*com, "COM9");  // not installed
  EXPECT_EQ(rec.log, (Log{"Opening", "Open:0"}));

  // The port opens but refuses the settings: the close sequence runs before onOpen 0.
  for (auto spoil :
       {+[](TKxComAsync& c) { c.Parity = 9; }, +[](TKxComAsync& c) { c.DataBits = 4; },
        +[](TKxComAsync& c) { c.StopBits = 3; }, +[](TKxComAsync& c) { c.Baud = 0; }}) {
    TKxComAsync bad;
    configure(bad);
    Recorder r;
    wire(bad, r);
    spoil(bad);
    call_open(bad, "COM7");
    Log expected = {"Opening"};
    expected.insert(expected.end(), kCloseEvents.begin(), kCloseEvents.end());
    expected.push_back("Open:0");
    EXPECT_EQ(r.log, expected);
    EXPECT_FALSE(bad.is_open());
  }
  // Nothing of the failed attempts holds the port.
  rec.clear();
  call_open(*com, "COM7");
  EXPECT_EQ(rec.log, (Log{"Opening", "Open:7"}));
}

TEST_F(ComAsyncTest, LineSettingsReachTheTerminal) {
  call_open(*com, "COM7");
  termios2 t{};
  ASSERT_EQ(ioctl(peer.terminal_fd(), TCGETS2, &t), 0);
  EXPECT_EQ(t.c_ospeed, 38462u);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INPCK), 0u);
  call_close(*com);

  com->Baud = 1200;
  com->DataBits = 2;  // 7 bits
  com->Parity = 2;    // even
  com->StopBits = 2;
  com->OutX = true;
  com->ParityCheck = true;
  call_open(*com, "COM7");
  ASSERT_TRUE(com->is_open());
  ASSERT_EQ(ioctl(peer.terminal_fd(), TCGETS2, &t), 0);
  EXPECT_EQ(t.c_ospeed, 1200u);
  // A pseudo-terminal always keeps 8 bits without parity, so only the rest can be seen here.
  EXPECT_EQ(t.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
  EXPECT_EQ(t.c_iflag & (IXON | INPCK), static_cast<tcflag_t>(IXON | INPCK));
  EXPECT_EQ(t.c_cc[VSTART], 17);
  EXPECT_EQ(t.c_cc[VSTOP], 19);
}

TEST_F(ComAsyncTest, LineSettingsAndEventMaskFollowTheProperties) {
  using serial::LineControl;
  serial::LineSettings s = com->line_settings(38462, 0, 0);
  EXPECT_TRUE(serial::valid(s));
  EXPECT_EQ(s.baud, 38462u);
  EXPECT_EQ(s.data_bits, 8);
  EXPECT_EQ(s.parity, serial::Parity::None);
  EXPECT_EQ(s.stop_bits, serial::StopBits::One);
  EXPECT_TRUE(s.abort_on_error);
  EXPECT_FALSE(s.check_parity || s.discard_null || s.error_replacement.has_value());
  EXPECT_EQ(s.flow.xon_limit, 1024);
  EXPECT_EQ(s.flow.xoff_limit, 1024);
  EXPECT_EQ(s.flow.xon_char, 17);
  EXPECT_EQ(s.flow.xoff_char, 19);
  EXPECT_EQ(com->line_settings(1, 2, 3).flow.dtr, LineControl::Handshake);
  EXPECT_EQ(com->line_settings(1, 2, 3).flow.rts, LineControl::Toggle);
  // A control-line number out of range drives the line off; DTR has no toggle mode.
  EXPECT_EQ(com->line_settings(1, 3, 4).flow.dtr, LineControl::Off);
  EXPECT_EQ(com->line_settings(1, 3, 4).flow.rts, LineControl::Off);

  com->ErrorChar = '?';
  com->ErrorReplace = true;  // replaces nothing while parity is not checked
  EXPECT_FALSE(com->line_settings(1, 0, 0).error_replacement.has_value());
  com->ParityCheck = true;
  com->DiscardNull = true;
  com->InX = true;
  com->OutxDsrFlow = true;
  com->OutxCtsFlow = true;
  com->DsrSensitivity = true;
  s = com->line_settings(1, 1, 1);
  EXPECT_TRUE(s.check_parity && s.discard_null);
  EXPECT_EQ(s.error_replacement, std::optional<char>('?'));
  EXPECT_TRUE(s.flow.xon_xoff_input && s.flow.dsr_gates_output && s.flow.cts_gates_output &&
              s.flow.dsr_gates_input);
  EXPECT_FALSE(s.flow.xon_xoff_output || s.flow.output_continues_after_xoff);
  EXPECT_EQ(s.flow.dtr, LineControl::On);

  // Out-of-range framing numbers give settings every back-end refuses.
  com->Parity = 5;
  EXPECT_FALSE(serial::valid(com->line_settings(1, 0, 0)));
  com->Parity = TKxComAsync::kSpaceParity;
  com->StopBits = -1;
  EXPECT_FALSE(serial::valid(com->line_settings(1, 0, 0)));
  com->StopBits = TKxComAsync::kTwoStopBits;
  com->DataBits = TKxComAsync::kFiveDataBits;
  EXPECT_TRUE(serial::valid(com->line_settings(1, 0, 0)));
  com->DataBits = 4;
  EXPECT_FALSE(serial::valid(com->line_settings(1, 0, 0)));

  com->EvRx80Full = true;
  com->EvErr = true;
  com->EvRlsd = true;
  EXPECT_EQ(com->mask_from_properties(), 0x0001u | 0x0400u | 0x0080u | 0x0020u);
}

TEST_F(ComAsyncTest, PortListLeavesOutAHeldPort) {
  PtyPeer other;
  register_port("COM3", other.path());
  register_port("COM4", "/nonexistent/tty-for-test");
  TKxComAsync lister;
  lister.CheckPorts = true;
  Recorder names;
  lister.onPortName = names.link("PortName");

  call_list(lister);
  EXPECT_EQ(names.log, (Log{"PortName:COM3", "PortName:COM7"}));

  call_open(*com, "COM7");
  ASSERT_TRUE(com->is_open());
  names.clear();
  call_list(lister);
  EXPECT_EQ(names.log, (Log{"PortName:COM3"}));

  // Without the check every installed port is named, in port order.
  lister.CheckPorts = false;
  names.clear();
  call_list(lister);
  EXPECT_EQ(names.log, (Log{"PortName:COM3", "PortName:COM4", "PortName:COM7"}));

  // And the held port cannot be opened a second time.
  TKxComAsync second;
  configure(second);
  Recorder r;
  second.onOpen = r.link("Open");
  call_open(second, "COM7");
  EXPECT_EQ(r.log, (Log{"Open:0"}));
}

// The trial opens of a listing run off the element thread, all at once, each bounded: a port
// whose open is held back is left out once its bound has passed, the ones before it come at
// once, the order is the system's, and a new round drops what is left of the one before.
TEST_F(ComAsyncTest, PortProbeBoundsAHeldOpenAndKeepsTheOrder) {
  struct Hold {
    std::mutex mutex;
    std::condition_variable cv;
    bool released = false;
    int finished = 0;
  };
  auto hold = std::make_shared<Hold>();
  serial::PortProbe probe([hold](const std::string& name) {
    std::unique_lock<std::mutex> lock(hold->mutex);
    if (name == "COM2") hold->cv.wait(lock, [&] { return hold->released; });
    ++hold->finished;
    hold->cv.notify_all();
    return name != "COM4";
  });
  Log answers;
  bool done = false;
  auto answer = [&](const std::string& name, bool ok) {
    answers.push_back(name + (ok ? ":1" : ":0"));
  };
  auto finished = [&] { done = true; };
  const auto t0 = std::chrono::steady_clock::now();
  probe.start({"COM1", "COM2", "COM3", "COM4"}, {}, 300ms, answer, finished);
  ASSERT_TRUE(queue.run_until([&] { return !answers.empty(); }, 1s));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 250ms);
  EXPECT_EQ(answers, (Log{"COM1:1"}));
  ASSERT_TRUE(queue.run_until([&] { return done; }, 2s));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 300ms);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
  EXPECT_EQ(answers, (Log{"COM1:1", "COM2:0", "COM3:1", "COM4:0"}));

  // A round waiting for the held port is replaced: nothing of it arrives. A port known to be
  // openable (the one the program holds) is not tried.
  answers.clear();
  done = false;
  probe.start({"COM2", "COM3"}, {}, 10s, answer, finished);
  probe.start({"COM2", "COM3"}, {true, false}, 10s, answer, finished);
  ASSERT_TRUE(queue.run_until([&] { return done; }, 2s));
  queue.run_until([] { return false; }, 100ms);
  EXPECT_EQ(answers, (Log{"COM2:1", "COM3:1"}));

  // The held opens end; nothing of theirs arrives any more.
  {
    std::unique_lock<std::mutex> lock(hold->mutex);
    hold->released = true;
    hold->cv.notify_all();
    EXPECT_TRUE(hold->cv.wait_for(lock, 2s, [&] { return hold->finished == 7; }));
  }
  queue.run_until([] { return false; }, 100ms);
  EXPECT_EQ(answers.size(), 2u);
}

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
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (queue.pending() == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  ASSERT_EQ(queue.pending(), 1u);
  call_read(*com, 100);
  queue.drain();
  EXPECT_EQ(rec.log, (Log{"Read:abc"}));  // no onRxChar 0, hence no empty read
}

TEST_F(ComAsyncTest, NoEventAfterClosed) {
  call_open(*com, "COM7");
  rec.clear();
  peer.send("late");
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (queue.pending() == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
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
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (queue.pending() == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
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
}  // namespace kx
