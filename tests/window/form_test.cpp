// The main form: start order, the close protocol, the loop and the window base's events.
#include <thread>

#include "elements/window/button.hpp"
#include "tests/window/window_fixture.hpp"
#include "toolkit/headless/headless_window.hpp"
#include "toolkit/style_bits.hpp"

namespace kx::testing {
namespace {

namespace hl = kx::headless;

// Records, at onCreate, whether the form was already visible.
struct CreateProbe {
  TKxSimpleForm* form = nullptr;
  std::vector<bool> visible_at_create;
  void doEvent(TData&, std::uint16_t) { visible_at_create.push_back(form->control()->visible()); }
};

std::vector<int> g_start_order;
void later_start_handler(void*) {
  g_start_order.push_back(2);
}

using FormStart = WindowTest;

TEST_F(FormStart, OnCreateFiresOnceBeforeTheFormIsShown) {
  CreateProbe probe;
  probe.form = form.get();
  form->onCreate = make_link<&CreateProbe::doEvent>(0, &probe);
  form->Init();
  EXPECT_FALSE(form->control()->visible()) << "Init keeps the form hidden until Start";
  form->Start();
  started = true;
  ASSERT_EQ(probe.visible_at_create.size(), 1u);
  EXPECT_FALSE(probe.visible_at_create[0]);
  EXPECT_TRUE(form->control()->visible());
  EXPECT_TRUE(form->shown_once());
  EXPECT_TRUE(pins_enabled());
  EXPECT_TRUE(startup_done());
}

TEST_F(FormStart, StartHandlerRunsBeforeHandlersRegisteredLater) {
  g_start_order.clear();
  struct First {
    void doEvent(TData&, std::uint16_t) { g_start_order.push_back(1); }
  } first;
  form->onCreate = make_link<&First::doEvent>(0, &first);
  register_startup(&later_start_handler, nullptr);
  start();
  EXPECT_EQ(g_start_order, (std::vector<int>{1, 2}));
}

TEST_F(FormStart, AnInvisibleFormStaysHiddenAfterStart) {
  form->Visible = 0;
  start();
  EXPECT_FALSE(form->control()->visible());
  EXPECT_FALSE(tk::application_window()->visible());
}

TEST_F(FormStart, NothingFiresBeforeStart) {
  Sink clicked;
  auto& button = add<TKxButton>();
  button.onClick = clicked.link();
  button.Init();
  tk::Message click{tk::Msg::Click};
  button.control()->send(click);
  EXPECT_TRUE(clicked.got.empty());
}

using FormClose = WindowTest;

TEST_F(FormClose, CloseBoxRefusedByCancelCloseKeepsLoopAndPinsLive) {
  Source cancel;
  set_integer(cancel.value, 1);
  Sink closed;
  Sink clicked;
  form->dataCancelClose = cancel.link();
  form->onClose = closed.link();
  auto& button = add<TKxButton>();
  button.Width = 50;
  button.Height = 20;
  button.onClick = clicked.link();
  button.Init();
  start();

  ASSERT_TRUE(hl::close_box(*form->control()));
  hl::drain();
  EXPECT_TRUE(closed.got.empty());
  EXPECT_TRUE(form->control()->visible());
  EXPECT_FALSE(tk::terminated());
  EXPECT_TRUE(pins_enabled());
  ASSERT_TRUE(hl::click(*button.control()));
  EXPECT_EQ(clicked.got.size(), 1u);

  // The same close box, now allowed: onClose, pins off, the loop ends.
  set_integer(cancel.value, 0);
  ASSERT_TRUE(hl::close_box(*form->control()));
  EXPECT_EQ(closed.got.size(), 1u);
  EXPECT_FALSE(pins_enabled());
  EXPECT_FALSE(form->control()->visible());
  EXPECT_TRUE(hl::run_until([] { return tk::terminated(); }, std::chrono::milliseconds(1000)));
  tk::Message click{tk::Msg::Click};
  button.control()->send(click);
  EXPECT_EQ(clicked.got.size(), 1u) << "no event after an accepted close";
}

TEST_F(FormClose, DoCloseIsNotQuestioned) {
  Source cancel;
  set_integer(cancel.value, 1);
  Sink closed;
  form->dataCancelClose = cancel.link();
  form->onClose = closed.link();
  start();
  form->doClose(shared_null(), 0);
  EXPECT_EQ(closed.got.size(), 1u);
  EXPECT_FALSE(pins_enabled());
  EXPECT_TRUE(hl::run_until([] { return tk::terminated(); }, std::chrono::milliseconds(1000)));
}

TEST_F(FormClose, CloseBoxOfADisabledFormDoesNothing) {
  Sink closed;
  form->onClose = closed.link();
  start();
  TData off;
  set_integer(off, 0);
  form->doEnabled(off, 0);
  EXPECT_FALSE(hl::close_box(*form->control()));
  EXPECT_TRUE(closed.got.empty());
  TData on;  // NULL enables
  form->doEnabled(on, 0);
  EXPECT_TRUE(hl::close_box(*form->control()));
  EXPECT_EQ(closed.got.size(), 1u);
}

TEST_F(FormClose, EndSessionEndsTheProcessAtOnceWithoutDestroyingTheScheme) {
  std::vector<int> codes;
  hl::set_exit_routine([&codes](int code) { codes.push_back(code); });
  Sink closed;
  form->onClose = closed.link();
  start();
  hl::end_session(*form->control());
  EXPECT_EQ(codes, std::vector<int>{0});
  EXPECT_TRUE(tk::terminated());
  EXPECT_EQ(tk::running_count(), 0);
  EXPECT_EQ(tk::application_window(), nullptr);
  EXPECT_TRUE(form->destroying()) << "the form window went with the application window";
  EXPECT_TRUE(closed.got.empty());
}

using FormLook = WindowTest;

TEST_F(FormLook, BorderStylesReplaceOnlyTheFrameBits) {
  tk::Window& w = *form->control();
  ASSERT_NE(hl::style(w) & tk::kStyleSysMenu, 0u);
  form->set_border_style(1);
  EXPECT_EQ(hl::style(w) & ~tk::kStyleSysMenu, 0x00C20000u);
  EXPECT_NE(hl::style(w) & tk::kStyleSysMenu, 0u) << "the system menu stays";
  form->set_border_style(8);
  EXPECT_EQ(hl::style(w) & ~tk::kStyleSysMenu, 0u);
  EXPECT_EQ(hl::ex_style(w), 0x201u);
  form->set_border_style(5);
  EXPECT_EQ(hl::style(w) & ~tk::kStyleSysMenu, 0x00C40000u);
  EXPECT_EQ(hl::ex_style(w), 0x280u) << "the client edge of style 8 is not one of the cleared bits";
  const std::uint32_t style = hl::style(w);
  const std::uint32_t ex = hl::ex_style(w);
  form->set_border_style(10);
  EXPECT_EQ(hl::style(w), style);
  EXPECT_EQ(hl::ex_style(w), ex);
}

TEST_F(FormLook, CaptionIconAndTaskbarModeReachTheApplicationWindow) {
  form->set_caption("Magnetoflux bootloader");
  form->set_icon("ZEDA");
  form->set_taskbar_mode(0);
  EXPECT_EQ(hl::ex_style(*tk::application_window()), 0u);
  form->set_taskbar_mode(1);
  EXPECT_EQ(hl::ex_style(*tk::application_window()), 0x81u);
  EXPECT_EQ(form->control()->text(), "Magnetoflux bootloader");
  EXPECT_EQ(tk::application_window()->text(), "Magnetoflux bootloader");
  EXPECT_EQ(hl::icon(*form->control()), "ZEDA");
  EXPECT_EQ(hl::icon(*tk::application_window()), "ZEDA");
  EXPECT_EQ(hl::find_window("Magnetoflux bootloader", tk::Kind::Form), form->control());
}

TEST_F(FormLook, DragByClientMovesTheFormOncePerMoveAndKeepsTheAppWindowWithIt) {
  Sink down;
  Sink moved;
  form->DragByClient = 1;
  form->onMouseDown = down.link();
  form->onMove = moved.link();
  start();
  ASSERT_TRUE(hl::drag(*form->control(), 10, 10, 30, -20));
  EXPECT_EQ(form->control()->rect().left, 230);
  EXPECT_EQ(form->control()->rect().top, 180);
  EXPECT_EQ(down.got.size(), 1u);
  EXPECT_EQ(moved.got.size(), 1u);
  EXPECT_EQ(tk::application_window()->rect().left, 230);
  EXPECT_EQ(tk::application_window()->rect().top, 180);

  form->DragByClient = 0;
  ASSERT_TRUE(hl::drag(*form->control(), 10, 10, 30, 30));
  EXPECT_EQ(form->control()->rect().left, 230) << "without DragByClient the form stays";
  EXPECT_EQ(down.got.size(), 2u);
}

using Loop = WindowTest;

TEST_F(Loop, RunsHandedOverTasksOnItsOwnThreadAndEndsWhenTheMainFormCloses) {
  start();
  const std::thread::id window_thread = std::this_thread::get_id();
  std::thread::id ran_on;
  int idle_calls = 0;
  std::thread worker([&] {
    post_to_element_thread([&] {
      ran_on = std::this_thread::get_id();
      form->doClose(shared_null(), 0);
    });
  });
  tk::set_idle_hook([&] { ++idle_calls; });
  tk::run_message_loop();
  worker.join();
  EXPECT_EQ(ran_on, window_thread);
  EXPECT_TRUE(tk::terminated());
  EXPECT_EQ(tk::running_count(), 0);
  EXPECT_GE(idle_calls, 1);
  EXPECT_EQ(tk::application_window(), nullptr);
  EXPECT_EQ(element_thread(), nullptr) << "tasks after the loop are dropped";
  EXPECT_TRUE(form->destroying());
}

TEST_F(Loop, PostedMessagesPassTheFilterFirst) {
  start();
  int offered = 0;
  tk::set_message_filter([&offered](void*) {
    ++offered;
    return true;  // consumes everything
  });
  Sink shown;
  auto& button = add<TKxButton>();
  button.onClick = shown.link();
  button.Init();
  tk::Message click{tk::Msg::Click};
  button.control()->post(click);
  hl::drain();
  EXPECT_EQ(offered, 1);
  EXPECT_TRUE(shown.got.empty());
  tk::set_message_filter(nullptr);
  button.control()->post(click);
  hl::drain();
  EXPECT_EQ(shown.got.size(), 1u);
}

using WinBase = WindowTest;

TEST_F(WinBase, VisibleAndEnabledHideOnlyForIntegerZero) {
  auto& button = add<TKxButton>();
  button.Init();
  start();
  TData d;
  set_string(d, "0");
  button.doVisible(d, 0);
  EXPECT_TRUE(button.control()->visible());
  set_integer(d, 0);
  button.doVisible(d, 0);
  EXPECT_FALSE(button.control()->visible());
  set_integer(d, -1);
  button.doVisible(d, 0);
  EXPECT_TRUE(button.control()->visible());
  set_null(d);
  button.doEnabled(d, 0);
  EXPECT_TRUE(button.control()->enabled());
  set_integer(d, 0);
  button.doEnabled(d, 0);
  EXPECT_FALSE(button.control()->enabled());
  EXPECT_FALSE(hl::click(*button.control()));
}

TEST_F(WinBase, MouseEventsReportButtonsWheelAndEveryEntry) {
  Sink entered, wheel, moved, left;
  auto& button = add<TKxButton>();
  button.onMouseEnter = entered.link();
  button.onMouseWheel = wheel.link();
  button.onMouseMove = moved.link();
  button.onMouseLeave = left.link();
  button.Init();
  start();
  tk::Window& w = *button.control();
  hl::mouse_move(w, 1, 1);
  hl::mouse_move(w, 2, 2);
  hl::mouse_wheel(w, -120);
  hl::mouse_hover(w);
  hl::mouse_leave(w);
  EXPECT_EQ(entered.got.size(), 4u) << "every mouse message over the window counts";
  ASSERT_EQ(wheel.got.size(), 1u);
  EXPECT_EQ(wheel.got[0].integer, -120);
  ASSERT_EQ(moved.got.size(), 2u);
  EXPECT_EQ(moved.got[0].integer, 255);
  EXPECT_EQ(left.got.size(), 1u);
}

TEST_F(WinBase, LookTabOrderFontAndColourAreApplied) {
  auto& flat = add<TKxButton>();
  flat.Ctl3D = 1;
  flat.TabOrder = -1;
  set_font(flat.Font, "MS Sans Serif", 10, 1, 0, 1);
  flat.Init();
  auto& sunken = add<TKxButton>();
  sunken.Ctl3D = 0;
  sunken.EdgeStyle = 2;
  sunken.Init();
  EXPECT_EQ(flat.Color, tk::system_color(15)) << "the parent's colour by default";
  EXPECT_EQ(hl::look(*flat.control()), 1);
  EXPECT_NE(hl::style(*flat.control()) & tk::kStyleBorder, 0u);
  EXPECT_EQ(hl::tab_order(*flat.control()), -1);
  EXPECT_EQ(hl::font(*flat.control()).height, points_to_height(10));
  EXPECT_EQ(hl::font(*flat.control()).style_bits, 1);
  EXPECT_EQ(hl::ex_style(*sunken.control()), tk::kExStaticEdge);
}

}  // namespace
}  // namespace kx::testing
