// The whole tool as a user meets it: the window, the port list, identification, the transfer
// and the end screens, driven through the headless toolkit against the simulated device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/entry.hpp"
#include "app/update_log.hpp"
#include "elements/serial/com_async.hpp"
#include "elements/serial/port_table.hpp"
#include "elements/serial/port_watch.hpp"
#include "elements/text/text_holder.hpp"
#include "elements/timer/mm_timer.hpp"
#include "elements/window/button.hpp"
#include "elements/window/combo_box.hpp"
#include "elements/window/edit.hpp"
#include "elements/window/image.hpp"
#include "elements/window/label.hpp"
#include "elements/window/progress_bar.hpp"
#include "elements/window/simple_form.hpp"
#include "runtime/multi_element.hpp"
#include "schemes/main_scheme.hpp"
#include "schemes/transfer_scheme.hpp"
#include "tests/common/device_texts.hpp"
#include "toolkit/headless/test_api.hpp"
#include "tools/devsim/simulator.hpp"

namespace kx {
namespace {

using namespace std::chrono_literals;
namespace hl = headless;
using devsim::Fault;

using test_texts::image_bytes;
using test_texts::kChoose;
using test_texts::kError;
using test_texts::kNotFound;
// The simulated device answers "MAGNETOFLUX VKD7 9.0" and a line end.
const std::string kIdentified = test_texts::status_for("VKD7", "9.0\r\n");

class Tool : public ::testing::Test {
 protected:
  void TearDown() override {
    if (scheme != nullptr) {
      disable_pins();
      delete scheme;
      scheme = nullptr;
    }
    hl::reset();
    for (auto& s : sims) s->stop();
    clear_registered_ports();
  }

  devsim::Simulator& add_device(const std::string& com, devsim::Options options = {}) {
    options.image = image_bytes();
    sims.push_back(std::make_unique<devsim::Simulator>(std::move(options)));
    EXPECT_TRUE(sims.back()->start());
    register_port(com, sims.back()->port_path());
    return *sims.back();
  }

  // As a fresh process: pins silent, the start-up list not yet run.
  void start_tool() {
    disable_pins();
    set_startup_done(false);
    scheme = new TClassSimpleForm_2597650();
    scheme->Form->Start();
    hl::drain();
    // The ports are tried off the window thread; the list is complete once they answered.
    EXPECT_TRUE(until([&] { return !scheme->pwPorts->listing(); }, 5s));
  }

  tk::Window& w(WindowElement* element) { return *element->control(); }
  std::string status() { return w(scheme->edtStatus).text(); }
  bool until(const std::function<bool()>& pred, std::chrono::milliseconds t = 20s) {
    return hl::run_until(pred, t);
  }

  // Choose the port and wait for the identification's verdict.
  void choose(const std::string& com) {
    ASSERT_TRUE(hl::choose_item(w(scheme->cbxPort), com));
    ASSERT_TRUE(until([&] { return status() != kChoose; }));
  }

  bool end_screen() { return hl::shown(w(scheme->btnOk)); }

  std::vector<std::unique_ptr<devsim::Simulator>> sims;
  TClassSimpleForm_2597650* scheme = nullptr;
};

TEST_F(Tool, StartsWithTheOpenablePortsAndNothingChosen) {
  add_device("COM3");
  add_device("COM12");
  start_tool();
  tk::Window* form = hl::main_form();
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(hl::shown(*form));
  EXPECT_EQ(form->text(), "Magnetoflux bootloader");
  EXPECT_EQ(hl::icon(*form), "ZEDA");
  EXPECT_EQ(form->rect(), (tk::Rect{200, 200, 503, 162}));
  EXPECT_EQ(hl::items(w(scheme->cbxPort)), (std::vector<std::string>{"COM3", "COM12"}));
  EXPECT_EQ(w(scheme->cbxPort).selection(), -1);
  EXPECT_EQ(status(), kChoose);
  EXPECT_TRUE(hl::shown(w(scheme->btnWrite)));
  EXPECT_FALSE(hl::usable(w(scheme->btnWrite)));
  EXPECT_TRUE(hl::shown(w(scheme->lblVersion)));
  EXPECT_EQ(hl::progress_position(w(scheme->pbProgress)), 0);
  EXPECT_EQ(hl::progress_max(w(scheme->pbProgress)), 507);
  for (WindowElement* hidden : std::initializer_list<WindowElement*>{
           scheme->btnOk, scheme->lblSuccess, scheme->lblError, scheme->lblRetry, scheme->imgError})
    EXPECT_FALSE(hl::shown(w(hidden)));
  EXPECT_EQ(scheme->edtCrc->Text, "FFFF");
  EXPECT_FALSE(scheme->com->is_open());
}

TEST_F(Tool, UpdatesTheDeviceAndEndsOnOk) {
  devsim::Simulator& device = add_device("COM4");
  start_tool();
  choose("COM4");
  EXPECT_EQ(status(), kIdentified);
  EXPECT_TRUE(hl::usable(w(scheme->btnWrite)));
  EXPECT_FALSE(hl::usable(w(scheme->cbxPort)));

  ASSERT_TRUE(hl::click(w(scheme->btnWrite)));
  // While the image travels the whole window is disabled.
  EXPECT_FALSE(hl::main_form()->enabled());
  EXPECT_FALSE(hl::usable(w(scheme->btnWrite)));
  ASSERT_TRUE(until([&] { return end_screen(); }, 60s));

  ASSERT_TRUE(device.wait_done(5s));
  devsim::Results r = device.results();
  EXPECT_TRUE(r.image_matched);
  char crc[5];
  std::snprintf(crc, sizeof crc, "%04X", r.crc);
  EXPECT_EQ(scheme->edtCrc->Text, crc);  // kept current to the last byte, never shown
  EXPECT_TRUE(r.pusk_received);
  EXPECT_EQ(hl::progress_position(w(scheme->pbProgress)), 507);
  EXPECT_TRUE(hl::shown(w(scheme->lblSuccess)));
  EXPECT_TRUE(hl::usable(w(scheme->btnOk)));
  for (WindowElement* gone : std::initializer_list<WindowElement*>{
           scheme->cbxPort, scheme->edtStatus, scheme->pbProgress, scheme->btnWrite,
           scheme->lblVersion, scheme->lblError, scheme->lblRetry, scheme->imgError})
    EXPECT_FALSE(hl::shown(w(gone)));

  ASSERT_TRUE(hl::click(w(scheme->btnOk)));
  EXPECT_TRUE(until([] { return tk::terminated(); }, 2s));
  EXPECT_FALSE(scheme->com->is_open());
  EXPECT_FALSE(pins_enabled());
}

TEST_F(Tool, AWrongChecksumShowsTheErrorScreen) {
  devsim::Options options;
  options.fault = Fault::WrongCrc;
  options.fault_block = 2;
  add_device("COM5", options);
  start_tool();
  choose("COM5");
  ASSERT_TRUE(hl::click(w(scheme->btnWrite)));
  ASSERT_TRUE(until([&] { return end_screen(); }));
  EXPECT_TRUE(hl::shown(w(scheme->lblError)));
  EXPECT_EQ(w(scheme->lblError).text(), kError);
  EXPECT_TRUE(hl::shown(w(scheme->lblRetry)));
  EXPECT_TRUE(hl::shown(w(scheme->imgError)));
  EXPECT_FALSE(hl::shown(w(scheme->lblSuccess)));
  EXPECT_TRUE(hl::main_form()->enabled());
  EXPECT_EQ(hl::progress_position(w(scheme->pbProgress)), 2);
}

TEST_F(Tool, ASilentDeviceFailsWithinTheWatchdog) {
  devsim::Options options;
  options.fault = Fault::SilentBlock;
  options.fault_block = 10;
  add_device("COM5", options);
  start_tool();
  auto* transfer = static_cast<TClassMultiElementEx_2608DC0*>(scheme->mxFlash->current->scheme);
  transfer->tmrWatch->set_Interval(20);
  choose("COM5");
  ASSERT_TRUE(hl::click(w(scheme->btnWrite)));
  ASSERT_TRUE(until([&] { return end_screen(); }));
  EXPECT_TRUE(hl::shown(w(scheme->lblError)));
  EXPECT_EQ(hl::progress_position(w(scheme->pbProgress)), 10);
}

TEST_F(Tool, AnotherDeviceLeavesTheWriteButtonDisabledAndAnotherPortCanBeTried) {
  devsim::Options other;
  other.fault = Fault::OtherDevice;
  add_device("COM1", other);
  devsim::Simulator& good = add_device("COM2");
  start_tool();
  choose("COM1");
  EXPECT_EQ(status(), kNotFound);
  EXPECT_FALSE(hl::usable(w(scheme->btnWrite)));
  EXPECT_TRUE(hl::usable(w(scheme->cbxPort)));

  // The next choice closes the first port and asks on the second.
  ASSERT_TRUE(hl::choose_item(w(scheme->cbxPort), "COM2"));
  ASSERT_TRUE(until([&] { return status() == kIdentified; }));
  EXPECT_EQ(scheme->com->port_name(), "COM2");
  EXPECT_EQ(good.results().vers_count, 1u);
  EXPECT_TRUE(hl::usable(w(scheme->btnWrite)));
}

TEST_F(Tool, ChoosingTheSamePortAgainAsksAfresh) {
  devsim::Options silent;
  silent.fault = Fault::SilentVers;
  devsim::Simulator& device = add_device("COM6", silent);
  start_tool();
  ASSERT_TRUE(hl::choose_item(w(scheme->cbxPort), "COM6"));
  ASSERT_TRUE(until([&] { return device.results().vers_count == 1; }));
  ASSERT_TRUE(hl::choose_item(w(scheme->cbxPort), "COM6"));
  ASSERT_TRUE(until([&] { return device.results().vers_count == 2; }));
  EXPECT_TRUE(scheme->com->is_open());
  EXPECT_EQ(status(), kChoose);
}

TEST_F(Tool, TheCloseBoxClosesThePortAndEndsTheLoop) {
  add_device("COM8");
  start_tool();
  choose("COM8");
  ASSERT_TRUE(scheme->com->is_open());
  ASSERT_TRUE(hl::close_box(*hl::main_form()));
  EXPECT_TRUE(until([] { return tk::terminated(); }, 2s));
  EXPECT_FALSE(scheme->com->is_open());
  EXPECT_FALSE(scheme->com->has_reader());
}

TEST_F(Tool, APortThatFailsToOpenShowsNoDevice) {
  devsim::Simulator& device = add_device("COM9");
  start_tool();
  ASSERT_EQ(hl::items(w(scheme->cbxPort)).size(), 1u);
  // Another program takes the port after the list was made.
  int other = ::open(device.port_path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  choose("COM9");
  EXPECT_EQ(status(), kNotFound);
  EXPECT_FALSE(scheme->com->is_open());
  EXPECT_FALSE(hl::usable(w(scheme->btnWrite)));
  EXPECT_EQ(device.results().vers_count, 0u);
  ::close(other);
}

// While no device is identified the list follows the ports that come and go and keeps the
// choice while it is installed (the tool holds it open, so it cannot be tried); once a device
// is identified the list stays as it is.
TEST_F(Tool, ThePortListFollowsThePortsUntilADeviceIsIdentified) {
  devsim::Options another;
  another.fault = Fault::OtherDevice;
  add_device("COM3", another);
  start_tool();
  tk::Window& list = w(scheme->cbxPort);
  using Items = std::vector<std::string>;
  EXPECT_EQ(hl::items(list), (Items{"COM3"}));
  choose("COM3");
  EXPECT_EQ(status(), kNotFound);

  devsim::Simulator& device = add_device("COM5");
  hl::device_change();
  ASSERT_TRUE(until([&] { return hl::items(list) == Items{"COM3", "COM5"}; }, 5s));
  EXPECT_EQ(list.selection(), 0);
  EXPECT_EQ(list.text(), "COM3");

  // COM3 pulled out: it goes, and with it the choice.
  sims.front()->stop();
  clear_registered_ports();
  register_port("COM5", device.port_path());
  hl::device_change();
  ASSERT_TRUE(until([&] { return hl::items(list) == Items{"COM5"}; }, 5s));
  EXPECT_EQ(list.selection(), -1);

  ASSERT_TRUE(hl::choose_item(list, "COM5"));
  ASSERT_TRUE(until([&] { return status() == kIdentified; }));
  EXPECT_FALSE(hl::usable(list));
  add_device("COM7");
  hl::device_change();
  hl::run_until([] { return false; }, 300ms);
  EXPECT_EQ(hl::items(list), (Items{"COM5"}));
  EXPECT_FALSE(scheme->pwPorts->watching());
}

// The program's own entry and loop, driven from the loop's idle hook as a user would: choose
// the port, write, wait for the end screen, "OK"; the entry then returns the exit code.
TEST_F(Tool, TheEntryRunsAWholeUpdateAndReturnsZero) {
  devsim::Simulator& device = add_device("COM3");
  disable_pins();
  set_startup_done(false);
  int step = 0;
  const auto give_up = std::chrono::steady_clock::now() + 60s;
  tk::set_idle_hook([&] {
    TClassSimpleForm_2597650* s = current_scheme;
    if (s == nullptr || !hl::shown(*s->Form->control())) return;
    if (step == 0 && hl::choose_item(*s->cbxPort->control(), "COM3")) step = 1;
    if (step == 1 && hl::usable(*s->btnWrite->control()) && hl::click(*s->btnWrite->control()))
      step = 2;
    if (step == 2 && hl::shown(*s->btnOk->control()) && device.results().done &&
        hl::click(*s->btnOk->control()))
      step = 3;
    if (std::chrono::steady_clock::now() > give_up) tk::quit();
  });
  char program[] = "kxflash";
  char* argv[] = {program, nullptr};
  EXPECT_EQ(run_tool(1, argv), 0);
  EXPECT_EQ(step, 3);
  EXPECT_TRUE(device.results().image_matched);
  EXPECT_TRUE(device.results().pusk_received);
  EXPECT_FALSE(pins_enabled());
}

TEST(Entry, TheInformationSwitchShowsOnlyTheBox) {
  char program[] = "kxflash";
  char info[] = "/qv";
  char* argv[] = {program, info, nullptr};
  EXPECT_EQ(run_tool(2, argv), 0);
  ASSERT_EQ(hl::message_boxes().size(), 1u);
  EXPECT_EQ(hl::message_boxes()[0].first, "Magnetoflux bootloader");
  EXPECT_NE(hl::message_boxes()[0].second.find("9.1"), std::string::npos);
  EXPECT_TRUE(hl::windows().empty());
  hl::reset();
}

// ---- the command line and unattended runs ----

struct LineCase {
  std::vector<std::string> args;
  CommandLine::Mode mode;
  std::string port;
  std::string log;
};

TEST(CommandLine, FormsAndWhatTheyMean) {
  using M = CommandLine::Mode;
  const std::vector<LineCase> cases = {
      {{}, M::Normal, "", ""},
      {{"/qv"}, M::Info, "", ""},
      {{"/qv", "/auto=COM5"}, M::Info, "", ""},
      {{"/QV"}, M::Normal, "", ""},
      {{"/foo", "bar"}, M::Normal, "", ""},  // without /auto nothing else is looked at
      {{"/log=run.log"}, M::Normal, "", "run.log"},
      {{"/log="}, M::Normal, "", ""},
      {{"/autox=COM5"}, M::Normal, "", ""},
      {{"/auto=COM5"}, M::Auto, "COM5", ""},
      {{"/AUTO=com12"}, M::Auto, "com12", ""},
      {{"/auto=COM255", "/log=C:\\logs\\a b.log"}, M::Auto, "COM255", "C:\\logs\\a b.log"},
      {{"/Log=x", "/auto=COM1"}, M::Auto, "COM1", "x"},
      {{"/auto"}, M::Bad, "", ""},
      {{"/auto="}, M::Bad, "", ""},
      {{"/auto=COM"}, M::Bad, "", ""},
      {{"/auto=COM0"}, M::Bad, "", ""},
      {{"/auto=COM256"}, M::Bad, "", ""},
      {{"/auto=COM05"}, M::Bad, "", ""},
      {{"/auto=COM1x"}, M::Bad, "", ""},
      {{"/auto=COM1234"}, M::Bad, "", ""},
      {{"/auto=LPT1"}, M::Bad, "", ""},
      {{"/auto=COM5", "/qv"}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/auto=COM6"}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/log="}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/log=a", "/log=b"}, M::Bad, "COM5", "a"},
      {{"/auto=COM5", "extra"}, M::Bad, "COM5", ""},
  };
  for (const LineCase& c : cases) {
    std::vector<std::string> storage = {"kxflash"};
    storage.insert(storage.end(), c.args.begin(), c.args.end());
    std::vector<char*> argv;
    for (std::string& a : storage) argv.push_back(a.data());
    const CommandLine line = parse_command_line(static_cast<int>(argv.size()), argv.data());
    const std::string what = ::testing::PrintToString(c.args);
    EXPECT_EQ(line.mode, c.mode) << what;
    EXPECT_EQ(line.port, c.port) << what;
    EXPECT_EQ(line.log_path, c.log) << what;
    EXPECT_EQ(line.problem.empty(), c.mode != M::Bad) << what;
  }
}

// Log times in zones east and west of UTC, across a day's and a year's end; texts from the
// device as readable text.
TEST(UpdateLog, TimesCarryTheirOffsetAndBytesBecomeReadable) {
  using namespace std::chrono;
  struct TimeCase {
    const char* zone;
    sys_days day;
    milliseconds time;
    const char* text;
  };
  const std::vector<TimeCase> times = {
      {"UTC0", 2026y / 12 / 7, 16h + 40min + 12s + 345ms, "2026-12-07T16:40:12.345+00:00"},
      {"XXX-3", 2026y / 12 / 31, 22h + 30min, "2027-01-01T01:30:00.000+03:00"},
      {"XXX+5:30", 2026y / 1 / 1, 2h + 7ms, "2025-12-31T20:30:00.007-05:30"},
  };
  const char* saved = std::getenv("TZ");
  const std::string previous = saved ? saved : "";
  for (const TimeCase& c : times) {
    setenv("TZ", c.zone, 1);
    tzset();
    EXPECT_EQ(iso8601_local(system_clock::time_point(c.day) + c.time), c.text) << c.zone;
  }
  if (saved)
    setenv("TZ", previous.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();

  EXPECT_EQ(printable("MAGNETOFLUX VKD7 9.0\r\n"), "MAGNETOFLUX VKD7 9.0\\r\\n");
  EXPECT_EQ(printable(std::string("a\"b\\c\td\0\x7F", 9)), "a\\\"b\\\\c\\td\\x00\\x7F");
  EXPECT_EQ(printable("\xCF\xCE"), "\xCF\xCE");  // Windows-1251 text stays as it is
}

std::vector<std::string> read_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  return lines;
}

// A log line after its time ("2026-12-07T16:40:12.345+03:00 "); the time's form is checked.
std::string message_of(const std::string& line) {
  static const std::regex stamp(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d )");
  std::smatch m;
  if (!std::regex_search(line, m, stamp)) return "no time in: " + line;
  return m.suffix();
}

std::string log_path(const std::string& name) {
  // The process's own name: builds tested side by side must not share a log.
  const std::string path =
      ::testing::TempDir() + "kxflash_" + std::to_string(::getpid()) + "_" + name + ".log";
  std::remove(path.c_str());
  return path;
}

// Runs the program's entry with these arguments, as a fresh process would; gives up after 30 s.
int run_entry(std::vector<std::string> args) {
  disable_pins();
  set_startup_done(false);
  const auto give_up = std::chrono::steady_clock::now() + 30s;
  tk::set_idle_hook([give_up] {
    if (std::chrono::steady_clock::now() > give_up) tk::quit();
  });
  args.insert(args.begin(), "kxflash");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return run_tool(static_cast<int>(args.size()), argv.data());
}

TEST(Entry, ABadCommandLineEndsWithCodeThreeAndOneLogLineOnly) {
  const std::string log = log_path("bad");
  {
    std::ofstream earlier(log, std::ios::binary);
    earlier << "an earlier run\r\n";
  }
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"/auto"}, {"/auto=COM0"}, {"/auto=COM5", "/what"}, {"/auto=COM5", "/auto=COM5"}}) {
    args.push_back("/log=" + log);
    EXPECT_EQ(run_entry(args), 3) << ::testing::PrintToString(args);
    EXPECT_TRUE(hl::windows().empty());
    EXPECT_TRUE(hl::message_boxes().empty());
    hl::reset();
  }
  const std::vector<std::string> lines = read_lines(log);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "an earlier run");  // appended, never rewritten
  EXPECT_EQ(message_of(lines[1]),
            "bad command line: /auto needs a port name: /auto=COMn; exit code 3");
  EXPECT_EQ(message_of(lines[2]),
            "bad command line: not a port name (COM1 to COM255): COM0; exit code 3");
  EXPECT_EQ(message_of(lines[3]), "bad command line: unknown argument: /what; exit code 3");
  EXPECT_EQ(message_of(lines[4]), "bad command line: /auto is given more than once; exit code 3");
}

struct AutoCase {
  const char* name;
  Fault fault;
  int fault_block;
  bool device;  // false: nothing behind the port, it cannot be opened
  int code;
  bool pusk;
  std::vector<std::string> last_lines;  // the log's last lines
};

// Unattended runs through the program's entry against the simulated device: the exit code,
// what reached the device, and the log. The device reads slowly after its final answer, and the
// program ends right after "PUSK": it must arrive all the same.
TEST_F(Tool, UnattendedRunsEndWithTheirExitCodeAndLog) {
  const std::string identified = "device identified";
  const std::vector<AutoCase> cases = {
      {"success",
       Fault::None,
       0,
       true,
       0,
       true,
       {"progress 100 % (508 of 508 blocks)", "result: updated, 508 of 508 blocks", "exit code 0"}},
      {"wrong-crc",
       Fault::WrongCrc,
       2,
       true,
       1,
       false,
       {"write clicked", "result: transfer failed, 2 of 508 blocks", "exit code 1"}},
      {"silent",
       Fault::SilentBlock,
       60,
       true,
       1,
       false,
       {"progress 10 % (51 of 508 blocks)", "result: transfer failed, 60 of 508 blocks",
        "exit code 1"}},
      {"other-device",
       Fault::OtherDevice,
       0,
       true,
       2,
       false,
       {"device answered: \"GIGAWATT VKD7 9.0\\r\\n\"", "no device: the answer is not the device's",
        "exit code 2"}},
      {"silent-vers",
       Fault::SilentVers,
       0,
       true,
       2,
       false,
       {"port chosen: COM3", "no device: not identified within 3 s", "exit code 2"}},
      {"no-port",
       Fault::None,
       0,
       false,
       2,
       false,
       {"port chosen: COM3", "no device: the port could not be opened", "exit code 2"}},
  };
  for (const AutoCase& c : cases) {
    SCOPED_TRACE(c.name);
    devsim::Options options;
    options.fault = c.fault;
    options.fault_block = c.fault_block;
    options.final_read_pause = 300ms;
    devsim::Simulator& device = add_device(c.device ? "COM3" : "COM4", options);
    const std::string log = log_path(c.name);

    EXPECT_EQ(run_entry({"/auto=COM3", "/log=" + log}), c.code);
    EXPECT_FALSE(pins_enabled());
    if (c.pusk) {
      ASSERT_TRUE(device.wait_done(5s));
    }
    const devsim::Results r = device.results();
    EXPECT_EQ(r.pusk_received, c.pusk);
    EXPECT_EQ(r.image_matched, c.pusk);

    const std::vector<std::string> lines = read_lines(log);
    ASSERT_GE(lines.size(), c.last_lines.size() + 1);
    const std::vector<std::uint8_t> image = image_bytes();
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : image) crc = devsim::crc16_step(crc, b);
    char start[96];
    std::snprintf(start, sizeof start, "start: kxflash %s, image %zu bytes, CRC-16 %04X, ",
                  kToolVersion, image.size(), crc);
    EXPECT_EQ(message_of(lines[0]), std::string(start) + "unattended on COM3");
    EXPECT_EQ(message_of(lines[1]), "port chosen: COM3");
    const std::size_t from = lines.size() - c.last_lines.size();
    for (std::size_t i = 0; i < c.last_lines.size(); ++i)
      EXPECT_EQ(message_of(lines[from + i]).rfind(c.last_lines[i], 0), 0u)
          << message_of(lines[from + i]) << " does not begin with " << c.last_lines[i];

    if (c.code == 0) {
      // The whole story of a success, line by line.
      std::vector<std::string> expected = {"port chosen: COM3",
                                           "device answered: \"MAGNETOFLUX VKD7 9.0\\r\\n\"",
                                           identified, "write clicked"};
      for (int p = 10; p <= 100; p += 10) {
        const int blocks = (p * 508 + 99) / 100;
        expected.push_back("progress " + std::to_string(p) + " % (" + std::to_string(blocks) +
                           " of 508 blocks)");
      }
      ASSERT_EQ(lines.size(), expected.size() + 3);
      for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(message_of(lines[i + 1]), expected[i]);
    }
    hl::reset();
    for (auto& sim : sims) sim->stop();
    sims.clear();
    clear_registered_ports();
  }
}

// Without /auto a person drives: the log follows the run, and the code stays 0 whatever the
// outcome. A log that cannot be opened changes nothing.
TEST_F(Tool, AnAttendedRunWithALogStillEndsWithZero) {
  devsim::Options options;
  options.fault = Fault::WrongCrc;
  options.fault_block = 1;
  add_device("COM3", options);
  const std::string log = log_path("attended");
  disable_pins();
  set_startup_done(false);
  int step = 0;
  const auto give_up = std::chrono::steady_clock::now() + 60s;
  const auto person = [&] {
    TClassSimpleForm_2597650* s = current_scheme;
    if (s == nullptr || !hl::shown(*s->Form->control())) return;
    if (step == 0 && hl::choose_item(*s->cbxPort->control(), "COM3")) step = 1;
    if (step == 1 && hl::usable(*s->btnWrite->control()) && hl::click(*s->btnWrite->control()))
      step = 2;
    if (step == 2 && hl::shown(*s->btnOk->control()) && hl::click(*s->btnOk->control())) step = 3;
    if (std::chrono::steady_clock::now() > give_up) tk::quit();
  };
  tk::set_idle_hook(person);
  char program[] = "kxflash";
  std::string log_arg = "/log=" + log;
  char nowhere[] = "/log=/nonexistent-dir/x.log";
  char* argv[] = {program, log_arg.data(), nullptr};
  EXPECT_EQ(run_tool(2, argv), 0);
  EXPECT_EQ(step, 3);
  const std::vector<std::string> lines = read_lines(log);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_NE(message_of(lines[0]).find(", attended"), std::string::npos);
  EXPECT_EQ(message_of(lines[4]), "write clicked");
  EXPECT_EQ(message_of(lines[5]).rfind("result: transfer failed, 1 of 508 blocks", 0), 0u);
  EXPECT_EQ(message_of(lines[6]), "exit code 0");
  hl::reset();

  // The same run with a log that cannot be written: the update goes on unchanged.
  for (auto& sim : sims) sim->stop();
  sims.clear();
  clear_registered_ports();
  devsim::Simulator& device = add_device("COM3");
  char* argv2[] = {program, nowhere, nullptr};
  step = 0;
  disable_pins();
  set_startup_done(false);
  tk::set_idle_hook(person);
  EXPECT_EQ(run_tool(2, argv2), 0);
  EXPECT_EQ(step, 3);
  // "PUSK" has left the port when the tool ends; the device thread reads it a moment later.
  ASSERT_TRUE(device.wait_done(5s));
  EXPECT_TRUE(device.results().pusk_received);
}

}  // namespace
}  // namespace kx
