// The program's arguments on Windows: the command line as UTF-16 (GetCommandLineW), split as the
// shell splits it (CommandLineToArgvW, from the system folder), each argument as UTF-8.
#include <windows.h>

#include "app/arguments.hpp"
#include "app/utf8_win32.hpp"
#include "toolkit/win32/system_library.hpp"

namespace kx {

std::vector<std::string> program_arguments(int argc, char** argv) {
  using Split = LPWSTR*(WINAPI*)(LPCWSTR, int*);
  static const auto split = win32::system_function<Split>(L"shell32.dll", "CommandLineToArgvW");
  int count = 0;
  LPWSTR* wide = split != nullptr ? split(GetCommandLineW(), &count) : nullptr;
  std::vector<std::string> args;
  if (wide == nullptr) {
    // No splitter: the ANSI arguments, as UTF-8 (a name outside the code page has lost its
    // letters already).
    for (int i = 0; i < argc; ++i) args.push_back(to_utf8(to_utf16(argv[i], CP_ACP)));
    return args;
  }
  for (int i = 0; i < count; ++i) args.push_back(to_utf8(wide[i]));
  LocalFree(wide);
  return args;
}

}  // namespace kx
