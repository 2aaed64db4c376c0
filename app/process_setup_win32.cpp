#include <windows.h>

#include "app/process_setup.hpp"

namespace kx {

void prepare_process() {
  // Not the current folder, whatever else happens.
  SetDllDirectoryW(L"");
  // Where the loader knows it (Windows 8, Windows 7 with its loader update): the system folder
  // only, also for what a library loaded later imports (Common Controls 6 imports the theme
  // library, which is no known DLL).
  using SetDefault = BOOL(WINAPI*)(DWORD);
  if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
    if (FARPROC p = GetProcAddress(kernel, "SetDefaultDllDirectories"))
      reinterpret_cast<SetDefault>(reinterpret_cast<void (*)()>(p))(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

}  // namespace kx
