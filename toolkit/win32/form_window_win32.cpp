// A form: a top-level window owned by the application window. Minimising it minimises the
// application to its taskbar button; it follows the resolution of the monitor it is on.
#include <windows.h>

#include <string>

#include "toolkit/win32/classes_win32.hpp"
#include "toolkit/win32/dpi_win32.hpp"
#include "toolkit/win32/minimize_win32.hpp"
#include "toolkit/win32/text_win32.hpp"
#include "toolkit/win32/window_kinds_win32.hpp"

namespace kx::win32 {

FormWindow::FormWindow(const tk::CreateOptions& options) : TopWindow(options) {
  State& st = state();
  HWND owner = st.application ? st.application->hwnd() : nullptr;
  CreateWindowExW(0, kFormClass, to_wide(options.text).c_str(),
                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                      WS_MAXIMIZEBOX | WS_CLIPCHILDREN,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                  instance(), static_cast<Win32Window*>(this));
  if (hwnd_ != nullptr) dpi_ = window_dpi(hwnd_);
  if (st.main_form == nullptr && hwnd_ != nullptr) st.main_form = this;
}

LRESULT FormWindow::on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (form_minimize_message(msg, wp)) return 0;
  if (msg == WM_DPICHANGED) {
    change_dpi(LOWORD(wp), *reinterpret_cast<const RECT*>(lp));
    return 0;
  }
  return TopWindow::on_message(hwnd, msg, wp, lp);
}

}  // namespace kx::win32
