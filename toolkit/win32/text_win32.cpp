#include "toolkit/win32/text_win32.hpp"

#include <windows.h>

namespace kx::win32 {

std::wstring to_wide(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(kTextCodePage, 0, text.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(kTextCodePage, 0, text.data(), size, wide.data(), n);
  return wide;
}

std::string from_wide(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n =
      WideCharToMultiByte(kTextCodePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string bytes(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(kTextCodePage, 0, text.data(), size, bytes.data(), n, nullptr, nullptr);
  return bytes;
}

}  // namespace kx::win32
