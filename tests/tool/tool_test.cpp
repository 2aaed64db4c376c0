// The whole tool as a user meets it: the window, the port list, identification, the transfer
// and the end screens, driven through the headless toolkit against the simulated device.
#include "elements/flow/commutator.hpp"
#include "runtime/image_layout.hpp"
#include "tests/tool/tool_fixture.hpp"

namespace kx::tool_testing {
namespace {

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
  EXPECT_EQ(hl::progress_max(w(scheme->pbProgress)), image_layout::kLastBlock);
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
  EXPECT_EQ(hl::progress_position(w(scheme->pbProgress)), image_layout::kLastBlock);
  EXPECT_TRUE(hl::shown(w(scheme->lblSuccess)));
  EXPECT_TRUE(hl::usable(w(scheme->btnOk)));
  for (WindowElement* gone : std::initializer_list<WindowElement*>{
           scheme->cbxPort, scheme->edtStatus, scheme->pbProgress, scheme->btnWrite,
           scheme->lblVersion, scheme->lblError, scheme->lblRetry, scheme->imgError})
    EXPECT_FALSE(hl::shown(w(gone)));
  EXPECT_EQ(hl::task_state(), tk::TaskState::Idle);

  // Bytes after success (the new firmware's first words, a repeated final answer) change
  // nothing: no screen, no taskbar state, nothing sent.
  const std::size_t states = hl::task_states().size();
  const std::string final_answer = {static_cast<char>(r.crc >> 8), static_cast<char>(r.crc & 0xFF),
                                    'F', 'Z'};
  for (const std::string& late : {std::string("\r\n"), final_answer}) {
    TData d;
    set_string(d, late);
    fire(make_link<&TKxCommutator::doWork>(0, scheme->commRx), d);
    hl::drain();
  }
  EXPECT_EQ(hl::task_states().size(), states);
  EXPECT_EQ(hl::task_state(), tk::TaskState::Idle);
  EXPECT_TRUE(hl::shown(w(scheme->lblSuccess)));
  EXPECT_FALSE(hl::shown(w(scheme->lblError)));
  EXPECT_EQ(scheme->com->pending_bytes(), 0u);

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
  auto* transfer = TClassMultiElementEx_2608DC0::in(*scheme->mxFlash);
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
  TClassSimpleForm_2597650* running = nullptr;
  tk::set_idle_hook([&] {
    TClassSimpleForm_2597650* s = running;
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
  EXPECT_EQ(run_tool(1, argv, &running), 0);
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

}  // namespace
}  // namespace kx::tool_testing
