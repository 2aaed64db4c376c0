#include "toolkit/win32/system_library.hpp"

#include <string>

namespace kx::win32 {

HMODULE load_system_library(const wchar_t* name) {
  // Where the search flags are known (Windows 8, Windows 7 with its loader update) the loader
  // looks in the system folder only.
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // An older loader refuses the flag: the full path into the system folder, then.
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  std::wstring path(folder, n);
  path += L'\\';
  path += name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace kx::win32
