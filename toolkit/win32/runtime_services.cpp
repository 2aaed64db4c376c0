// The runtime's screen resolution (the design one) and debug message box on Windows.
#include <windows.h>

#include <string>

#include "runtime/tdata.hpp"

namespace kx {

// Font heights are design pixels, as at 96 pixels per inch: the toolkit scales them, with every
// position and size, to the resolution of the monitor a window is on.
int screen_pixels_per_inch() {
  return 96;
}

void debug_message(const std::string& text) {
  // Texts are Windows-1251 bytes; shown through the W function so any ANSI code page works.
  int n = MultiByteToWideChar(1251, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(1251, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  MessageBoxW(nullptr, wide.c_str(), L"String-Debug", MB_OK);
}

}  // namespace kx
