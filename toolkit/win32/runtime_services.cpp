// The runtime's screen resolution and debug message box on Windows.
#include <windows.h>

#include <string>

#include "runtime/tdata.hpp"

namespace kx {

int screen_pixels_per_inch() {
  HDC dc = GetDC(nullptr);
  int ppi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return ppi;
}

void debug_message(const std::string& text) {
  // Texts are Windows-1251 bytes; shown through the W function so any ANSI code page works.
  int n = MultiByteToWideChar(1251, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(1251, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  MessageBoxW(nullptr, wide.c_str(), L"String-Debug", MB_OK);
}

}  // namespace kx
