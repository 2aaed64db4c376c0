// What a form and the application window both handle: the notifications and colours of the
// controls on them, and their background in the colour set for them.
#include <windows.h>

#include "toolkit/win32/window_kinds_win32.hpp"

namespace kx::win32 {

LRESULT TopWindow::on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (lp != 0) {
        Win32Window* child = from_hwnd(reinterpret_cast<HWND>(lp));
        if (child != nullptr && child != this) {
          child->reflect_notification(HIWORD(wp));
          return 0;
        }
      }
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
      HWND child_hwnd = reinterpret_cast<HWND>(lp);
      Win32Window* child = from_hwnd(child_hwnd);
      if (child == nullptr) child = from_hwnd(GetParent(child_hwnd));
      if (child != nullptr && child != this && child->has_color())
        return child->control_colors(reinterpret_cast<HDC>(wp));
      break;
    }
    case WM_ERASEBKGND:
      if (has_color()) {
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, brush());
        return 1;
      }
      break;
    default:
      break;
  }
  return Win32Window::on_message(hwnd, msg, wp, lp);
}

}  // namespace kx::win32
