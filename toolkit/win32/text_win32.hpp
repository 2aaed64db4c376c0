// Texts are Windows-1251 bytes everywhere inside the program; the Win32 layer converts them
// at the boundary and calls only the W functions, so they show on any ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace kx::win32 {

inline constexpr unsigned kTextCodePage = 1251;

std::wstring to_wide(std::string_view text);
std::string from_wide(std::wstring_view text);

}  // namespace kx::win32
