// A standard control on a form (button, edit, label, progress bar), subclassed; and the making
// of the window of each kind.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "toolkit/win32/classes_win32.hpp"
#include "toolkit/win32/text_win32.hpp"
#include "toolkit/win32/window_kinds_win32.hpp"

namespace kx::win32 {

ControlWindow::ControlWindow(const tk::CreateOptions& options, const wchar_t* window_class,
                             DWORD style)
    : Win32Window(options) {
  create_control(window_class, style, to_wide(options.text));
}

LRESULT ControlWindow::on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (refuse_focus(msg, wp)) return 0;
  return Win32Window::on_message(hwnd, msg, wp, lp);
}

std::unique_ptr<Win32Window> Win32Window::create(const tk::CreateOptions& o) {
  switch (o.kind) {
    case tk::Kind::Application:
      return std::make_unique<ApplicationWindow>(o);
    case tk::Kind::Form:
      return std::make_unique<FormWindow>(o);
    case tk::Kind::Image:
      return std::make_unique<ImageWindow>(o);
    case tk::Kind::ComboBox:
      return std::make_unique<ComboBoxWindow>(o);
    case tk::Kind::Button:
      return std::make_unique<ControlWindow>(
          o, L"BUTTON",
          WS_TABSTOP | BS_MULTILINE |
              static_cast<DWORD>(o.default_button ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON));
    case tk::Kind::Edit:
      return std::make_unique<ControlWindow>(o, L"EDIT",
                                             WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL |
                                                 (o.password ? ES_PASSWORD : 0) |
                                                 (o.read_only ? ES_READONLY : 0));
    case tk::Kind::ProgressBar: {
      auto bar = std::make_unique<ControlWindow>(
          o, PROGRESS_CLASSW, (o.vertical ? PBS_VERTICAL : 0) | (o.smooth ? PBS_SMOOTH : 0));
      if (bar->alive()) classic_look(bar->hwnd());
      return bar;
    }
    case tk::Kind::Label:
    default:
      return std::make_unique<ControlWindow>(o, L"STATIC",
                                             SS_NOTIFY | SS_NOPREFIX | SS_LEFTNOWORDWRAP);
  }
}

}  // namespace kx::win32
