// TKxComAsync on pseudo-terminals: event order, name checks, line settings, the port list and
// the port probe.
#include <future>

#include "tests/serial/com_async_fixture.hpp"

#include "elements/serial/port_trials.hpp"
#include "runtime/threads.hpp"

namespace kx::serial_testing {
namespace {

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
  EXPECT_EQ(com->watched_events(), serial::PortEvents{serial::PortEvent::RxChar});

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

// Each failed open says why (the errno values are Linux's).
TEST_F(ComAsyncTest, FailedOpens) {
  const std::string cannot = "the port cannot be opened: ";
  call_open(*com, "COM9");  // not installed
  EXPECT_EQ(rec.log, (Log{"Opening", "Open:0"}));
  EXPECT_EQ(com->open_failure(), cannot + "no such port, OS error 2");
  register_port("COM8", "/nonexistent/ttyX");  // installed, but the device is not there
  call_open(*com, "COM8");
  EXPECT_EQ(com->open_failure(), cannot + "no such port, OS error 2");
  call_open(*com, "COM0");
  EXPECT_EQ(com->open_failure(), cannot + "no such port, OS error 0");

  // Held by another open (the terminal's exclusive mode, or the lock where a privileged
  // process passes that): busy.
  {
    TKxComAsync holder;
    set_up_as_the_tool(holder);
    call_open(holder, "COM7");
    ASSERT_TRUE(holder.is_open());
    EXPECT_EQ(holder.open_failure(), "");
    call_open(*com, "COM7");
    EXPECT_FALSE(com->is_open());
    EXPECT_EQ(com->open_failure().rfind(cannot + "busy (held by another program), OS error ", 0),
              0u)
        << com->open_failure();
    EXPECT_NE(com->open_failure(), cannot + "busy (held by another program), OS error 0");
  }

  // The port opens but refuses the settings: the close sequence runs before onOpen 0.
  for (auto spoil :
       {+[](TKxComAsync& c) { c.Parity = 9; }, +[](TKxComAsync& c) { c.DataBits = 4; },
        +[](TKxComAsync& c) { c.StopBits = 3; }, +[](TKxComAsync& c) { c.Baud = 0; }}) {
    TKxComAsync bad;
    set_up_as_the_tool(bad);
    Recorder r;
    wire(bad, r);
    spoil(bad);
    call_open(bad, "COM7");
    Log expected = {"Opening"};
    expected.insert(expected.end(), kCloseEvents.begin(), kCloseEvents.end());
    expected.push_back("Open:0");
    EXPECT_EQ(r.log, expected);
    EXPECT_FALSE(bad.is_open());
    EXPECT_EQ(bad.open_failure().rfind(cannot + "rate refused", 0), 0u) << bad.open_failure();
  }
  // No thread for the open, or for the reader (the port is closed again): the reason says so.
  for (int after : {0, 1}) {
    rec.clear();
    thread_testing::refuse_thread_starts(1, after);
    call_open(*com, "COM7");
    thread_testing::refuse_thread_starts(0);
    EXPECT_FALSE(com->is_open());
    Log expected = {"Opening"};
    if (after == 1) expected.insert(expected.end(), kCloseEvents.begin(), kCloseEvents.end());
    expected.push_back("Open:0");
    EXPECT_EQ(rec.log, expected) << after;
    EXPECT_EQ(com->open_failure(),
              cannot + "no thread to open or read it (the system refused one), OS error 0");
  }
  // Nothing of the failed attempts holds the port; an open that succeeds clears the reason.
  rec.clear();
  call_open(*com, "COM7");
  EXPECT_EQ(rec.log, (Log{"Opening", "Open:7"}));
  EXPECT_EQ(com->open_failure(), "");
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

TEST_F(ComAsyncTest, LineSettingsEventsAndTimeoutsFollowTheProperties) {
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
  using serial::PortEvent;
  EXPECT_EQ(com->events_from_properties(),
            (serial::PortEvents{PortEvent::RxChar, PortEvent::Rx80Full, PortEvent::Err,
                                PortEvent::Rlsd}));

  // The read time-out properties: all ones in the interval alone return at once, all ones in
  // interval and multiplier with a constant wait for the first byte; anything else bounds.
  using Wait = serial::ReadTimeouts::Wait;
  constexpr std::uint32_t kOnes = 0xFFFFFFFFu;
  struct Case {
    std::uint32_t interval, multiplier, constant;
    Wait wait;
    std::int64_t per_byte, total_constant, gap;
  };
  const Case cases[] = {
      {kOnes, 0, 0, Wait::Immediate, 0, 0, 0},
      {kOnes, kOnes, 250, Wait::FirstByte, 0, 250, 0},
      {kOnes, kOnes, kOnes, Wait::Bounded, kOnes, kOnes, kOnes},
      {kOnes, kOnes, 0, Wait::Bounded, kOnes, 0, kOnes},
      {kOnes, 0, 5, Wait::Bounded, 0, 5, kOnes},
      {20, 3, 200, Wait::Bounded, 3, 200, 20},
      {0, 0, 0, Wait::Bounded, 0, 0, 0},
  };
  com->WriteTotalTimeoutMultiplier = 100;
  com->WriteTotalTimeoutConstant = 1000;
  for (const Case& c : cases) {
    com->ReadIntervalTimeout = c.interval;
    com->ReadTotalTimeoutMultiplier = c.multiplier;
    com->ReadTotalTimeoutConstant = c.constant;
    const serial::Timeouts t = com->timeouts_from_properties();
    SCOPED_TRACE(::testing::Message() << c.interval << " " << c.multiplier << " " << c.constant);
    EXPECT_EQ(t.read.wait, c.wait);
    EXPECT_EQ(t.read.per_byte.count(), c.per_byte);
    EXPECT_EQ(t.read.constant.count(), c.total_constant);
    EXPECT_EQ(t.read.gap.count(), c.gap);
    EXPECT_EQ(t.write.per_byte.count(), 100);
    EXPECT_EQ(t.write.constant.count(), 1000);
  }
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
  set_up_as_the_tool(second);
  Recorder r;
  second.onOpen = r.link("Open");
  call_open(second, "COM7");
  EXPECT_EQ(r.log, (Log{"Open:0"}));

  // A trial open that hangs in the driver holds the list up for its bound only, and its port
  // is left out; the others are named in port order.
  auto release = std::make_shared<std::promise<void>>();
  TKxComAsync hanging(TKxComAsync::Opener(),
                      [released = release->get_future().share()](const std::string& name) {
                        if (name == "COM3") released.wait();
                        return true;
                      });
  hanging.CheckPorts = true;
  Recorder listed;
  hanging.onPortName = listed.link("PortName");
  const auto t0 = std::chrono::steady_clock::now();
  call_list(hanging);
  const auto took = std::chrono::steady_clock::now() - t0;
  EXPECT_EQ(listed.log, (Log{"PortName:COM4", "PortName:COM7"}));
  EXPECT_GE(took, 900ms);
  EXPECT_LT(took, 3s);
  release->set_value();
  EXPECT_TRUE(queue.run_until([] { return serial::trials_running() == 0; }, 2s));
}

// The trial opens of a listing run off the element thread, all at once, each bounded: a port
// whose open is held back is left out once its bound has passed, the ones before it come at
// once, the order is the system's, and a new round drops what is left of the one before.
TEST_F(ComAsyncTest, PortProbeBoundsAHeldOpenAndKeepsTheOrder) {
  struct Hold {
    std::mutex mutex;
    std::condition_variable cv;
    bool released = false;
    int held_trials = 0;
  };
  auto hold = std::make_shared<Hold>();
  serial::PortProbe probe([hold](const std::string& name) {
    std::unique_lock<std::mutex> lock(hold->mutex);
    if (name == "COM2") {
      ++hold->held_trials;
      hold->cv.wait(lock, [&] { return hold->released; });
    }
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
  // The bound is long enough that "at once" is told from "at the bound" on busy cores too.
  probe.start({"COM1", "COM2", "COM3", "COM4"}, {}, 2s, answer, finished);
  ASSERT_TRUE(queue.run_until([&] { return !answers.empty(); }, 2s));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1500ms);
  EXPECT_EQ(answers, (Log{"COM1:1"}));
  ASSERT_TRUE(queue.run_until([&] { return done; }, 5s));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 2s);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 4s);
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

  // The held open was tried once: the later rounds waited on it rather than stacking trials.
  // It ends; nothing of it arrives any more.
  {
    std::lock_guard<std::mutex> lock(hold->mutex);
    EXPECT_EQ(hold->held_trials, 1);
    hold->released = true;
    hold->cv.notify_all();
  }
  EXPECT_TRUE(queue.run_until([] { return serial::trials_running() == 0; }, 2s));
  queue.run_until([] { return false; }, 100ms);
  EXPECT_EQ(answers.size(), 2u);
}

// A trial open that outlives its round's bound holds the port for a moment; the element's own
// open of that port waits for it rather than failing on a port its own listing holds.
TEST_F(ComAsyncTest, OpenWaitsForATrialOfThePortStillRunning) {
  serial::PortProbe probe([](const std::string& name) {
    std::unique_ptr<serial::Port> held = serial::open_port(name);
    std::this_thread::sleep_for(300ms);  // a slow driver: the open is late, the port held
    return held != nullptr;
  });
  bool done = false;
  probe.start(
      {"COM7"}, {}, 50ms, [](const std::string&, bool) {}, [&] { done = true; });
  ASSERT_TRUE(queue.run_until([&] { return done; }, 2s));  // the round is over, the trial not
  ASSERT_EQ(serial::trials_running(), 1u);
  call_open(*com, "COM7");
  EXPECT_EQ(rec.log, (Log{"Opening", "Open:7"}));
  EXPECT_EQ(com->open_failure(), "");
  EXPECT_EQ(serial::trials_running(), 0u);
}

}  // namespace
}  // namespace kx::serial_testing
