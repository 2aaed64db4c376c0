// Libraries that the program uses beyond the system's known DLLs are loaded at run time from
// the system folder only: a DLL of the same name beside the executable (a downloads folder)
// is never looked at.
#pragma once

#include <windows.h>

namespace kx::win32 {

// The library from the system folder (side-by-side redirection, such as Common Controls 6 by
// the manifest, still applies); nullptr when it is not there. Loaded once, kept loaded.
HMODULE load_system_library(const wchar_t* name);

// A function of that library; nullptr when the library or the function is missing.
template <class Fn>
Fn system_function(const wchar_t* library, const char* name) {
  HMODULE module = load_system_library(library);
  if (module == nullptr) return nullptr;
  FARPROC p = GetProcAddress(module, name);
  return p == nullptr ? nullptr : reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}

}  // namespace kx::win32
