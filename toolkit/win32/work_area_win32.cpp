// The work area of a form's monitor, in design pixels at the form's resolution.
#include <windows.h>

#include "toolkit/dpi.hpp"
#include "toolkit/win32/dpi_win32.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::tk {

Rect work_area(const Window& form) {
  const HWND hwnd = static_cast<const win32::Win32Window&>(form).hwnd();
  RECT r{};
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &info))
    r = info.rcWork;
  else
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  const int d = win32::window_dpi(hwnd);
  return {to_design(r.left, d), to_design(r.top, d), to_design(r.right - r.left, d),
          to_design(r.bottom - r.top, d)};
}

}  // namespace kx::tk
