// The parent's console on Windows. A windowed program gets no console of its own: it writes to
// the standard output its parent handed over (a batch file's redirection), or else attaches to
// the console of the program that started it (a command prompt). Nothing when there is neither.
#include <windows.h>

#include <cstdint>

#include "app/console.hpp"

namespace kx {

namespace {

bool usable(HANDLE h) {
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

}  // namespace

std::unique_ptr<LogFile> parent_console() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (usable(out)) return log_file_on(reinterpret_cast<std::intptr_t>(out), false);
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return nullptr;
  HANDLE console = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return nullptr;
  return log_file_on(reinterpret_cast<std::intptr_t>(console), true);
}

std::unique_ptr<LogFile> program_output() {
  return parent_console();
}

const char* const kConsoleLineEnd = "\r\n";

}  // namespace kx
