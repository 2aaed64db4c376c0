// What a path names now, on Windows: its attributes, without opening it.
#include <windows.h>

#include "app/disk_file.hpp"
#include "app/utf8_win32.hpp"

namespace kx {

std::string existing_file_problem(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(to_utf16(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};  // nothing yet (or nothing to be seen)
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "names a folder";
  if (attributes & FILE_ATTRIBUTE_DEVICE) return "names a device";
  return {};
}

std::string file_identity(const std::string& path) {
  const std::wstring wide = to_utf16(path);
  std::wstring full(32768, L'\0');
  DWORD n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  full.resize(n > 0 && n < 32768 ? n : 0);
  if (full.empty()) full = wide;
  // Short (8.3) names of what exists, as their long names.
  std::wstring long_name(32768, L'\0');
  n = GetLongPathNameW(full.c_str(), long_name.data(), static_cast<DWORD>(long_name.size()));
  if (n > 0 && n < 32768) full.assign(long_name.c_str(), n);
  CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  return to_utf8(full);
}

}  // namespace kx
