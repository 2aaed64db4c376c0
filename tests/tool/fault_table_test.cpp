// The whole tool against a device that misbehaves at every phase: each case ends on the
// screen it should, the window keeps answering, "OK" or the close box ends the loop at once,
// the port and its reader are gone, and no thread outlives the tool.
#include <dirent.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/unattended.hpp"
#include "app/unattended_wiring.hpp"
#include "elements/serial/com_async.hpp"
#include "elements/serial/port_table.hpp"
#include "elements/serial/port_watch.hpp"
#include "elements/timer/mm_timer.hpp"
#include "elements/window/button.hpp"
#include "elements/window/combo_box.hpp"
#include "elements/window/edit.hpp"
#include "elements/window/image.hpp"
#include "elements/window/label.hpp"
#include "elements/window/progress_bar.hpp"
#include "elements/window/simple_form.hpp"
#include "runtime/image_layout.hpp"
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
constexpr std::int32_t kLast = image_layout::kLastBlock;

using test_texts::kChoose;
using test_texts::kNotFound;

std::size_t thread_count() {
  std::size_t n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') ++n;
    closedir(d);
  }
  return n;
}

// A joined thread can still be listed for a moment while the kernel finishes it.
std::size_t threads_settled(std::size_t expected) {
  std::size_t n = thread_count();
  for (int i = 0; i < 100 && n != expected; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    n = thread_count();
  }
  return n;
}

enum class Screen { Choosing, NotFound, Success, Failure };

struct Case {
  const char* name;
  Fault fault;
  int block;
  Screen screen;
  int progress;  // the bar at the end; -1: not checked
  // The reason the run's log gives, as a regular expression; "CRC" stands for the running CRC
  // the device owed, as the log writes it. Empty: none (nothing failed).
  const char* reason;
  bool click = true;  // the write button is pressed once the device is identified
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
  return os << c.name;
}

class FaultTable : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    // A sanitizer may start a helper thread of its own with the first thread; let it.
    std::thread([] {}).join();
    threads_before = thread_count();
  }

  void TearDown() override {
    if (scheme != nullptr) {
      disable_pins();
      delete scheme;
    }
    watch.reset();
    hl::reset();
    if (sim) sim->stop();
    clear_registered_ports();
  }

  tk::Window& w(WindowElement* e) { return *e->control(); }
  bool shown(WindowElement* e) { return hl::shown(w(e)); }

  // The device on COM3, and the tool built as a fresh process builds it (not yet started).
  void device_and_tool(devsim::Options options) {
    options.image = test_texts::image_bytes();
    sim = std::make_unique<devsim::Simulator>(options);
    ASSERT_TRUE(sim->start());
    register_port("COM3", sim->port_path());
    disable_pins();
    set_startup_done(false);
    scheme = new TClassSimpleForm_2597650();
    // A person drives; the driver only watches, and says why a run failed.
    watch = std::make_unique<UnattendedWiring>(scheme, "", nullptr);
    // What the port says once the device has pulled it, as the serial back-end would say it.
    watch->driver().PortFailure = [this] {
      return sim->results().unplugged ? std::string("the port was removed") : std::string();
    };
  }

  std::size_t threads_before = 0;
  std::unique_ptr<devsim::Simulator> sim;
  TClassSimpleForm_2597650* scheme = nullptr;
  std::unique_ptr<UnattendedWiring> watch;
};

// The running CRC the device owes after block `block`, as the log writes it ("1A 2B").
std::string crc_after(int block) {
  const std::vector<std::uint8_t> image = test_texts::image_bytes();
  std::uint16_t crc = 0xFFFF;
  for (std::size_t i = 0; i < 256u * static_cast<std::size_t>(block + 1) && i < image.size(); ++i)
    crc = devsim::crc16_step(crc, image[i]);
  char text[8];
  std::snprintf(text, sizeof text, "%02X %02X", crc >> 8, crc & 0xFF);
  return text;
}

TEST_P(FaultTable, EndsOnItsScreenAndClosesCleanly) {
  const Case& c = GetParam();
  devsim::Options options;
  options.fault = c.fault;
  options.fault_block = c.block;
  device_and_tool(options);
  ASSERT_NE(scheme, nullptr);
  // A watchdog tick of 100 ms keeps the silent cases short; three ticks stay far above the
  // time a block takes, even under a sanitizer.
  TClassMultiElementEx_2608DC0::in(*scheme->mxFlash)->tmrWatch->set_Interval(100);
  scheme->Form->Start();
  ASSERT_TRUE(hl::run_until([&] { return !scheme->pwPorts->listing(); }, 5s));
  ASSERT_TRUE(hl::choose_item(w(scheme->cbxPort), "COM3"));

  auto end_screen = [&] { return shown(scheme->btnOk); };
  if (c.screen == Screen::Choosing) {
    ASSERT_TRUE(hl::run_until([&] { return sim->results().vers_count == 1; }, 10s));
    hl::run_until([] { return false; }, 300ms);
    EXPECT_EQ(w(scheme->edtStatus).text(), kChoose);
  } else if (c.screen == Screen::NotFound) {
    ASSERT_TRUE(hl::run_until([&] { return w(scheme->edtStatus).text() == kNotFound; }, 10s));
  } else {
    if (c.click) {
      ASSERT_TRUE(hl::run_until([&] { return hl::usable(w(scheme->btnWrite)); }, 10s));
      ASSERT_TRUE(hl::click(w(scheme->btnWrite)));
    }
    ASSERT_TRUE(hl::run_until(end_screen, 60s));
    // A repeated answer or a repeated failure comes soon after; the screen must not change.
    hl::run_until([] { return false; }, 300ms);
    const bool failed = c.screen == Screen::Failure;
    EXPECT_EQ(shown(scheme->lblSuccess), !failed);
    EXPECT_EQ(shown(scheme->lblError), failed);
    EXPECT_EQ(shown(scheme->lblRetry), failed);
    EXPECT_EQ(shown(scheme->imgError), failed);
    EXPECT_FALSE(shown(scheme->btnWrite));
    EXPECT_FALSE(shown(scheme->cbxPort));
    if (c.progress >= 0) {
      EXPECT_EQ(hl::progress_position(w(scheme->pbProgress)), c.progress);
    }
    // Kept awake from the click to the outcome; the taskbar's error state on a failure.
    EXPECT_EQ(hl::task_state(), failed ? tk::TaskState::Failed : tk::TaskState::Idle);
    ASSERT_FALSE(hl::task_states().empty());
    EXPECT_EQ(hl::task_states().front(), c.click ? tk::TaskState::Busy : hl::task_state());
    if (c.progress >= 0) {
      EXPECT_EQ(hl::task_progress(), std::make_pair(c.click ? c.progress : 0, c.click ? kLast : 0));
    }
    if (!failed) {
      ASSERT_TRUE(sim->wait_done(5s));
      EXPECT_TRUE(sim->results().pusk_received);
      EXPECT_EQ(sim->results().pusk_count, 1u);  // a repeated final answer gets none
    }
    // Never a byte past the image, whatever the device answered.
    EXPECT_LE(sim->results().bytes_received, image_layout::kSize);
    EXPECT_EQ(sim->results().unexpected_bytes, 0u);
  }
  if (c.screen == Screen::Choosing || c.screen == Screen::NotFound) {
    EXPECT_FALSE(hl::usable(w(scheme->btnWrite)));
    EXPECT_TRUE(hl::task_states().empty());
  }

  // The reason the log gives.
  std::string reason = c.reason;
  for (std::size_t at = reason.find("CRC"); at != std::string::npos; at = reason.find("CRC"))
    reason.replace(at, 3, crc_after(c.progress));
  EXPECT_TRUE(std::regex_match(watch->driver().failure_reason(), std::regex(reason)))
      << watch->driver().failure_reason() << " does not match " << reason;

  // The window still answers, and ends at once.
  tk::Window& form = *hl::main_form();
  EXPECT_TRUE(form.enabled());
  const auto t0 = std::chrono::steady_clock::now();
  if (end_screen()) {
    ASSERT_TRUE(hl::click(w(scheme->btnOk)));
  } else {
    ASSERT_TRUE(hl::close_box(form));
  }
  ASSERT_TRUE(hl::run_until([] { return tk::terminated(); }, 1s));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
  EXPECT_FALSE(scheme->com->is_open());
  EXPECT_FALSE(scheme->com->has_reader());

  disable_pins();
  delete scheme;
  scheme = nullptr;
  watch.reset();
  hl::reset();
  sim->stop();
  EXPECT_EQ(threads_settled(threads_before), threads_before);
}

INSTANTIATE_TEST_SUITE_P(
    Device, FaultTable,
    ::testing::Values(
        Case{"silent_after_vers", Fault::SilentVers, 0, Screen::Choosing, -1, ""},
        Case{"another_device", Fault::OtherDevice, 0, Screen::NotFound, -1,
             R"(no device: the answer is not the device's: "GIGAWATT VKD7 9\.0\\r\\n")"},
        Case{"silent_after_block_0", Fault::SilentBlock, 0, Screen::Failure, 0,
             "no byte for 3 s after block 0"},
        Case{"silent_mid_transfer", Fault::SilentBlock, 250, Screen::Failure, 250,
             "no byte for 3 s after block 250"},
        Case{"silent_after_last_block", Fault::SilentLast, 0, Screen::Failure, kLast,
             "no byte for 3 s after block 507"},
        Case{"wrong_crc", Fault::WrongCrc, 0, Screen::Failure, 0,
             "after block 0: received [0-9A-F]{2} [0-9A-F]{2}, expected CRC"},
        Case{"swapped_crc", Fault::SwappedCrc, 100, Screen::Failure, 100,
             "after block 100: received [0-9A-F]{2} [0-9A-F]{2}, expected CRC"},
        Case{"split_answer", Fault::SplitAnswer, 300, Screen::Success, kLast, ""},
        Case{"split_final_answer", Fault::SplitAnswer, kLast, Screen::Success, kLast, ""},
        Case{"final_answer_without_fz", Fault::MissingFz, kLast, Screen::Failure, kLast,
             "after block 507: received CRC and nothing more for 3 s, expected CRC 46 5A"},
        Case{"short_answer", Fault::ShortAnswer, 5, Screen::Failure, 5,
             "after block 5: received [0-9A-F]{2} and nothing more for 3 s, expected CRC"},
        Case{"long_answer", Fault::LongAnswer, 7, Screen::Failure, 7,
             "after block 7: received ([0-9A-F]{2} ){2}[0-9A-F]{2}, expected CRC"},
        Case{"garbage", Fault::Garbage, 400, Screen::Failure, 400,
             "after block 400: received [0-9A-F ]+, expected CRC"},
        Case{"early_final_answer", Fault::EarlyFz, 100, Screen::Success, 100, ""},
        Case{"final_answer_repeated", Fault::RepeatFinal, 0, Screen::Success, kLast, ""},
        Case{"bytes_before_the_write_button", Fault::Chatter, 0, Screen::Failure, 0,
             "before the write button: received 0D 0A", false},
        Case{"pulled_after_identification", Fault::Unplug, -1, Screen::Failure, 0,
             "no byte for 3 s after block 0; the port reported: the port was removed"},
        Case{"pulled_mid_transfer", Fault::Unplug, 200, Screen::Failure, 200,
             "no byte for 3 s after block 200; the port reported: the port was removed"},
        Case{"pulled_after_last_block", Fault::Unplug, kLast, Screen::Failure, kLast,
             "no byte for 3 s after block 507; the port reported: the port was removed"}),
    [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace kx

namespace kx {
namespace {

// A close that reaches the window while a block is on its way (the window is disabled then, so
// it comes from outside, as the system's or another program's close does), and a close during
// identification: the loop ends within a second, the port and its reader are gone, no thread
// is left behind.
class Closing : public FaultTable {};

TEST_F(Closing, MidTransferAndDuringIdentification) {
  for (const bool mid_transfer : {true, false}) {
    SCOPED_TRACE(mid_transfer ? "mid-transfer" : "identification");
    devsim::Options options;
    options.baud = 38462;  // a paced device: the transfer is surely under way when the close comes
    if (!mid_transfer) options.fault = Fault::SilentVers;
    device_and_tool(options);
    ASSERT_NE(scheme, nullptr);
    scheme->Form->Start();
    ASSERT_TRUE(hl::run_until([&] { return !scheme->pwPorts->listing(); }, 5s));
    ASSERT_TRUE(hl::choose_item(w(scheme->cbxPort), "COM3"));
    if (mid_transfer) {
      ASSERT_TRUE(hl::run_until([&] { return hl::usable(w(scheme->btnWrite)); }, 10s));
      ASSERT_TRUE(hl::click(w(scheme->btnWrite)));
      ASSERT_TRUE(
          hl::run_until([&] { return hl::progress_position(w(scheme->pbProgress)) >= 3; }, 10s));
      EXPECT_FALSE(hl::usable(*hl::main_form()));
      EXPECT_EQ(hl::task_state(), tk::TaskState::Busy);
    } else {
      ASSERT_TRUE(hl::run_until([&] { return sim->results().vers_count == 1; }, 10s));
    }
    const auto t0 = std::chrono::steady_clock::now();
    tk::Message close{tk::Msg::Close, 0, 0};
    hl::main_form()->send(close);
    ASSERT_TRUE(hl::run_until([] { return tk::terminated(); }, 1s));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
    EXPECT_FALSE(scheme->com->is_open());
    EXPECT_FALSE(scheme->com->has_reader());
    EXPECT_FALSE(pins_enabled());
    delete scheme;
    scheme = nullptr;
    // A tool that goes mid-transfer lets the machine sleep again.
    EXPECT_EQ(hl::task_state(), tk::TaskState::Idle);
    hl::reset();
    sim->stop();
    clear_registered_ports();
    EXPECT_EQ(threads_settled(threads_before), threads_before);
  }
}

}  // namespace
}  // namespace kx
