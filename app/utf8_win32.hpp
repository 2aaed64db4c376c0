// UTF-8 and UTF-16 on Windows: the program's own paths and arguments are UTF-8 and become
// UTF-16 at the system's W functions.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kx {

// `text` (UTF-8, or the bytes of another code page) as UTF-16.
inline std::wstring to_utf16(std::string_view text, UINT code_page = CP_UTF8) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), size, out.data(), n);
  return out;
}

inline std::string to_utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace kx
