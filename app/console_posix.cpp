// The parent's console on POSIX systems: standard error, when it is a terminal (a test run or a
// script that collects its output hears nothing).
#include <unistd.h>

#include "app/console.hpp"

namespace kx {

std::unique_ptr<LogFile> parent_console() {
  if (!::isatty(STDERR_FILENO)) return nullptr;
  return log_file_on(STDERR_FILENO, false);
}

std::unique_ptr<LogFile> program_output() {
  return log_file_on(STDOUT_FILENO, false);
}

const char* const kConsoleLineEnd = "\n";

}  // namespace kx
