#include "toolkit/win32/dpi_win32.hpp"

#include "toolkit/dpi.hpp"

namespace kx::win32 {

namespace {

template <class Fn>
Fn user32_function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  FARPROC p = user32 != nullptr ? GetProcAddress(user32, name) : nullptr;
  return p == nullptr ? nullptr : reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}

int system_dpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : tk::kDesignDpi;
  if (dc != nullptr) ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : tk::kDesignDpi;
}

}  // namespace

int window_dpi(HWND hwnd) {
  using ForWindow = UINT(WINAPI*)(HWND);
  static const auto for_window = user32_function<ForWindow>("GetDpiForWindow");
  if (for_window != nullptr && hwnd != nullptr) {
    const UINT dpi = for_window(hwnd);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  static const int dpi = system_dpi();
  return dpi;
}

RECT frame_at(DWORD style, DWORD ex_style, int dpi) {
  using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjust_for_dpi = user32_function<AdjustForDpi>("AdjustWindowRectExForDpi");
  RECT r{0, 0, 0, 0};
  if (adjust_for_dpi != nullptr) {
    adjust_for_dpi(&r, style, FALSE, ex_style, static_cast<UINT>(dpi));
  } else {
    // The system's metrics are those of its own resolution: scaled to the one asked for.
    AdjustWindowRectEx(&r, style, FALSE, ex_style);
    const int system = window_dpi(nullptr);
    r = {MulDiv(r.left, dpi, system), MulDiv(r.top, dpi, system), MulDiv(r.right, dpi, system),
         MulDiv(r.bottom, dpi, system)};
  }
  return {-r.left, -r.top, r.right, r.bottom};
}

}  // namespace kx::win32
