// Puts a form with Russian texts on the screen through the Win32 toolkit, drives it the way
// the system and a user would (clicks, a chosen item, a typed character, changes from another
// thread), checks what the controls answer, and closes itself through the loop's
// close-to-quit rule. Prints one line per check; exit code 0 when every check held.
//
//   win32_smoke [--hold MS] [--drop]
//   win32_smoke --end-session    a log-off message ends the process at once, exit code 0
//   win32_smoke --early-task     a task handed over while the window is not made yet (its
//                                creation held back) runs once it is, with nothing posted after it
//     MS: how long the window stays up before it closes (1500); --drop opens the combo box's
//     list for a look at it
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "runtime/element_thread.hpp"
#include "runtime/image_layout.hpp"
#include "runtime/tdata.hpp"
#include "toolkit/toolkit.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace {

using kx::tk::Kind;
using kx::tk::Msg;

const char kWrite[] = "\xC7\xE0\xEF\xE8\xF1\xE0\xF2\xFC";
const char kChoose[] =
    "\xC2\xFB\xE1\xE5\xF0\xE8\xF2\xE5 \xEF\xEE\xF0\xF2 \xF1 \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xB8\xED"
    "\xED\xFB\xEC \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE\xEC.";
const char kVersion[] =
    "\xC2\xE5\xF0\xF1\xE8\xFF \xCF\xCE \xE4\xEB\xFF \xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF:9.1 "
    "(VKD7/NKD7)";
const char kSuccess[] =
    "     \xCF\xCE \xF3\xF1\xEF\xE5\xF8\xED\xEE "
    "\xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xEE!\r\n\xD1\xE1\xF0"
    "\xEE\xF1\xF2\xE5 \xED\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8 \xEF\xEE \xF3\xEC\xEE\xEB\xF7\xE0\xED"
    "\xE8\xFE!";
const char kPort[] = "\xCF\xEE\xF0\xF2";
const char kCheck[] = "\xCF\xF0\xEE\xE2\xE5\xF0\xEA\xE0";

int g_failures = 0;

void check(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++g_failures;
}

BOOL CALLBACK collect_tip(HWND hwnd, LPARAM lp) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  if (lstrcmpiW(name, TOOLTIPS_CLASSW) == 0)
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
  return TRUE;
}

// The thread's tool-tip windows.
std::vector<HWND> tip_windows() {
  std::vector<HWND> found;
  EnumThreadWindows(GetCurrentThreadId(), collect_tip, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND hwnd_of(kx::tk::Window* w) {
  return static_cast<kx::win32::Win32Window*>(w)->hwnd();
}

kx::tk::Font font(int points, std::uint8_t style) {
  kx::tk::Font f;
  f.face = "MS Sans Serif";
  f.height = kx::points_to_height(points);
  f.style_bits = style;
  f.charset = 1;
  return f;
}

std::unique_ptr<kx::tk::Window> control(Kind kind, kx::tk::Window* parent, const char* text,
                                        kx::tk::Rect r, std::uint32_t color) {
  kx::tk::CreateOptions o;
  o.kind = kind;
  o.parent = parent;
  o.text = text;
  o.editable = true;
  o.smooth = true;
  auto w = kx::tk::create_window(o);
  w->set_color(color);
  w->set_position(r.left, r.top);
  w->set_size(r.width, r.height);
  w->set_font(font(8, 0));
  w->set_visible(true);
  return w;
}

// Log-off: a form that receives WM_ENDSESSION with a non-zero wParam ends the process at
// once with exit code 0; the loop does not return.
int end_session_run() {
  kx::tk::create_application_window();
  kx::tk::CreateOptions o;
  o.kind = Kind::Form;
  o.text = kCheck;
  auto form = kx::tk::create_window(o);
  form->set_handler([](kx::tk::Message& m) {
    if (m.id == Msg::EndSession && m.wparam != 0) {
      std::printf("ok   the form saw the session end\n");
      std::fflush(stdout);
    }
  });
  form->set_size(200, 100);
  form->set_visible(true);
  HWND hwnd = hwnd_of(form.get());
  std::thread session([hwnd] {
    Sleep(300);
    PostMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
    Sleep(3000);
    PostMessageW(hwnd, WM_CLOSE, 0, 1);  // only reached when the session end did nothing
  });
  session.detach();
  kx::tk::run_message_loop();
  std::printf("FAIL the loop returned after the session end\n");
  return 3;
}

// A slow first window (Wine's first start in a prefix, a loaded machine): another thread hands a
// task over while the window thread is still making its windows, and nothing is handed over
// after it. The task closes the form; a message straight to the form after 5 s is the fallback
// that tells a lost task apart.
int early_task_run() {
  bool task_ran = false;
  std::thread early([&task_ran] {
    kx::win32::state().tasks.post([&task_ran] {
      task_ran = true;
      if (kx::win32::Win32Window* form = kx::win32::state().main_form)
        PostMessageW(form->hwnd(), WM_CLOSE, 0, 0);
    });
  });
  early.join();
  Sleep(200);  // the window's creation, held back
  kx::tk::create_application_window();
  kx::tk::CreateOptions o;
  o.kind = Kind::Form;
  o.text = kCheck;
  auto form = kx::tk::create_window(o);
  form->set_size(200, 100);
  const auto began = std::chrono::steady_clock::now();
  HWND hwnd = hwnd_of(form.get());
  std::thread fallback([hwnd] {
    Sleep(5000);
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  });
  form->set_visible(true);
  kx::tk::run_message_loop();
  const auto took = std::chrono::steady_clock::now() - began;
  check(task_ran, "a task handed over before the window existed ran once it did");
  check(took < std::chrono::seconds(4), "it ran without waiting for a later post");
  fallback.join();
  std::printf("%s\n", g_failures == 0 ? "all checks held" : "some checks failed");
  return g_failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--end-session") == 0) return end_session_run();
  if (argc > 1 && std::strcmp(argv[1], "--early-task") == 0) return early_task_run();
  int hold_ms = 1500;
  bool drop = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--hold") == 0 && i + 1 < argc) hold_ms = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--drop") == 0) drop = true;
  }

  const std::uint32_t face = kx::tk::system_color(15);
  kx::tk::create_application_window();
  kx::tk::CreateOptions form_options;
  form_options.kind = Kind::Form;
  form_options.text = "Form";
  auto form = kx::tk::create_window(form_options);
  form->set_text("Magnetoflux bootloader");
  form->set_frame(kx::tk::Frame::Single);
  form->set_color(face);
  form->set_position(40, 40);
  form->set_size(505, 180);
  form->set_icon("ZEDA");
  form->enable_tab_navigation();

  auto combo = control(Kind::ComboBox, form.get(), "", {10, 10, 85, 24}, kx::tk::system_color(5));
  auto status =
      control(Kind::Edit, form.get(), kChoose, {110, 10, 320, 25}, kx::tk::system_color(22));
  auto button = control(Kind::Button, form.get(), kWrite, {5, 50, 85, 30}, face);
  auto version = control(Kind::Label, form.get(), kVersion, {110, 55, 272, 20}, face);
  auto bar = control(Kind::ProgressBar, form.get(), "", {5, 90, 485, 30}, face);
  auto success = control(Kind::Label, form.get(), kSuccess, {5, 122, 380, 40}, face);
  auto image = control(Kind::Image, form.get(), "", {400, 122, 40, 30}, face);
  success->set_font(font(10, 1));
  success->set_alignment(2);
  combo->set_tab_order(1);
  button->set_tab_order(2);
  bar->set_range(kx::image_layout::kLastBlock);
  bar->set_bar_color(kx::tk::system_color(16));

  // The picture, fitted into its control keeping its proportions.
  std::shared_ptr<kx::tk::Bitmap> picture = kx::tk::load_bitmap("BITMAP0");
  check(picture && picture->width() == 290 && picture->height() == 290,
        "BITMAP0 loads as a 290 x 290 bitmap");
  int paints = 0;
  image->set_handler([&](kx::tk::Message& m) {
    if (m.id != Msg::Paint || !picture) return;
    ++paints;
    const kx::tk::Extent c = image->client_size();
    const int side = std::min(c.width, c.height);
    const kx::tk::Rect target{(c.width - side) / 2, (c.height - side) / 2, side, side};
    m.canvas->fill({0, 0, c.width, c.height});
    m.canvas->stretch(*picture, target, kx::tk::kStretchHalftone);
  });

  int clicks = 0;
  button->set_handler([&](kx::tk::Message& m) {
    if (m.id == Msg::Click) ++clicks;
  });
  int changes = 0;
  int chars_seen = 0;
  std::int32_t last_char = 0;
  status->set_handler([&](kx::tk::Message& m) {
    if (m.id == Msg::Change) ++changes;
    if (m.id == Msg::Char) {
      ++chars_seen;
      last_char = m.wparam;
    }
  });
  int selections = 0;
  int selected = -2;
  combo->set_handler([&](kx::tk::Message& m) {
    if (m.id == Msg::SelChange) {
      ++selections;
      selected = combo->selection();
    }
  });
  int closes = 0;
  int refused = 0;
  bool form_destroyed = false;
  form->set_handler([&](kx::tk::Message& m) {
    if (m.id == Msg::Close) {
      ++closes;
      if (m.lparam == 0) {  // the user's close box: refused once, as a scheme may do
        ++refused;
        m.handled = true;
      }
    }
    if (m.id == Msg::Destroy) form_destroyed = true;
  });

  // What the controls answer before the loop.
  check(version->text() == kVersion, "label text comes back as the same Windows-1251 bytes");
  check(button->text() == kWrite, "button caption comes back unchanged");
  check(status->text() == kChoose, "edit text comes back unchanged");
  const int com1 = combo->add_item("COM1");
  const int port = combo->add_item(kPort);
  check(com1 == 0 && port == 1 && combo->item_count() == 2, "combo box items are appended");
  check(combo->item_text(1) == kPort, "a Russian item comes back unchanged");
  combo->set_item_data(1, 7);
  check(combo->item_data(1) == 7 && combo->item_data(0) == 0 && combo->item_data(5) == -1,
        "item numbers: set, default 0, -1 for a missing item");
  combo->select(5);
  check(combo->selection() == -1, "selecting a missing item selects nothing");
  const int before = changes;
  status->set_text(kCheck);
  check(changes == before + 1, "setting an edit's text reports one change at once");
  const kx::tk::Extent e = version->measure_text(kVersion);
  check(e.width > 100 && e.height > 5, "a Russian text measures wider than 100 pixels");
  const kx::tk::Rect rb = button->rect();
  check(rb == kx::tk::Rect{5, 50, 85, 30},
        "a control sits where it was put, in client coordinates");
  check(kx::element_thread() != nullptr, "the toolkit is the element thread");
  bool below = false;
  for (HWND w = GetWindow(hwnd_of(image.get()), GW_HWNDNEXT); w != nullptr;
       w = GetWindow(w, GW_HWNDNEXT))
    if (w == hwnd_of(success.get())) below = true;
  check(below, "a control made earlier lies below one made later");
  check(SendMessageW(hwnd_of(form.get()), WM_GETICON, ICON_SMALL, 0) != 0 &&
            SendMessageW(hwnd_of(form.get()), WM_GETICON, ICON_BIG, 0) != 0,
        "the form carries the icon ZEDA in both sizes");
  {
    // A hint on the button: a tip window owned by the form, with one tool that shows the
    // text, updated when the text changes, gone with the tool-tip object.
    kx::tk::ToolTipStyle tip_style;
    tip_style.font = font(8, 0);
    auto tip = kx::tk::create_tool_tip(*button, tip_style);
    tip->set_text(kWrite);
    tip->set_text(kPort);
    const std::vector<HWND> tips = tip_windows();
    std::wstring shown(80, L'\0');
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = hwnd_of(button.get());
    ti.uId = reinterpret_cast<UINT_PTR>(ti.hwnd);
    ti.lpszText = shown.data();
    if (tips.size() == 1) SendMessageW(tips[0], TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
    shown.resize(std::wcslen(shown.c_str()));
    check(tips.size() == 1 && GetWindow(tips[0], GW_OWNER) == hwnd_of(form.get()) &&
              SendMessageW(tips[0], TTM_GETTOOLCOUNT, 0, 0) == 1,
          "a hint makes one tip window, owned by the form, with one tool");
    check(shown == L"\x041F\x043E\x0440\x0442", "the tool shows the hint set last, in Russian");
    tip.reset();
    check(tip_windows().empty(), "the tip window goes with the hint");
  }
  const LONG form_style = GetWindowLongW(hwnd_of(form.get()), GWL_STYLE);
  form->set_tab_order(3);
  check(GetWindowLongW(hwnd_of(form.get()), GWL_STYLE) == form_style,
        "a form's tab order leaves its style (no maximize box)");

  form->set_visible(true);
  kx::tk::application_window()->set_visible(true);
  check(form->visible(), "the form is shown");

  // Another thread, as the serial reader or the timer would: window changes are handed over,
  // and tasks run in the order they were posted.
  std::atomic<bool> worker_done{false};
  bool order_kept = false;
  std::thread worker([&] {
    Sleep(100);
    version->set_text(kWrite);  // marshalled to the window thread
    bar->set_progress(253);
    kx::post_to_element_thread([&] { order_kept = version->text() == kWrite; });
    for (int i = 0; i < 200; ++i)
      kx::post_to_element_thread([&bar, i] { bar->set_progress(253 + i); });
    Sleep(50);
    version->set_text(kVersion);
    worker_done = true;
  });

  HWND button_hwnd = hwnd_of(button.get());
  HWND combo_hwnd = hwnd_of(combo.get());
  HWND status_hwnd = hwnd_of(status.get());
  HWND bar_hwnd = hwnd_of(bar.get());
  HWND form_hwnd = hwnd_of(form.get());
  int bar_position = -1;
  int bar_clamped = -1;
  bool refused_kept_open = false;
  std::string typed;
  std::thread closer([&] {
    Sleep(400);
    // A user's actions, delivered by the system as messages.
    PostMessageW(button_hwnd, BM_CLICK, 0, 0);
    PostMessageW(combo_hwnd, CB_SETCURSEL, 1, 0);
    PostMessageW(form_hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo_hwnd), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo_hwnd));
    PostMessageW(status_hwnd, EM_SETSEL, 0, -1);
    PostMessageW(status_hwnd, WM_CHAR, 0x0416, 1);  // Cyrillic capital Zhe
    PostMessageW(form_hwnd, WM_CLOSE, 0, 0);        // the close box: refused
    Sleep(300);
    kx::post_to_element_thread([&] {
      refused_kept_open = form->visible() && !kx::tk::terminated();
      bar_position = static_cast<int>(SendMessageW(bar_hwnd, PBM_GETPOS, 0, 0));
      bar->set_progress(9999);
      bar_clamped = static_cast<int>(SendMessageW(bar_hwnd, PBM_GETPOS, 0, 0));
      bar->set_progress(300);
      if (drop) SendMessageW(combo_hwnd, CB_SHOWDROPDOWN, TRUE, 0);  // for a look at the list
    });
    Sleep(static_cast<DWORD>(std::max(0, hold_ms - 700)));
    // The program's own close (lparam 1) is not questioned and ends the loop.
    kx::post_to_element_thread([&] {
      typed = status->text();
      kx::tk::Message close{Msg::Close};
      close.lparam = 1;
      form->send(close);
    });
  });

  kx::tk::run_message_loop();
  worker.join();
  closer.join();

  check(worker_done && order_kept,
        "a change from another thread lands before the task posted after it");
  check(clicks == 1, "a click reaches the button's handler once");
  check(selections == 1 && selected == 1, "a selection change reaches the combo box's handler");
  check(chars_seen == 1 && last_char == 0xC6,
        "a typed Cyrillic character arrives as its Windows-1251 byte");
  check(typed == "\xC6", "the typed character replaced the selected text of the edit");
  if (typed != "\xC6") std::printf("     the edit held \"%s\"\n", typed.c_str());
  check(bar_position == 452, "progress set from another thread, in order: 253 + 199");
  check(bar_clamped == kx::image_layout::kLastBlock,
        "a position beyond the range is clamped to the last block");
  check(refused == 1 && refused_kept_open,
        "a refused close box keeps the window open and the loop running");
  check(closes == 2, "the program's own close reaches the form's handler");
  check(kx::tk::terminated() && kx::tk::running_count() == 0,
        "the loop ended: terminated, running 0");
  check(kx::tk::application_window() == nullptr, "the application window is freed");
  check(form_destroyed && !form->alive(), "the form went with the application window");
  check(kx::element_thread() == nullptr, "no element thread once the loop is over");
  check(paints > 0, "the picture was painted");
  std::printf("%s\n", g_failures == 0 ? "all checks held" : "some checks failed");
  return g_failures == 0 ? 0 : 1;
}
