// The parent's console on POSIX systems: standard error, when it is a terminal (a test run or a
// script that collects its output hears nothing).
#include <unistd.h>

#include <cerrno>

#include "app/console.hpp"

namespace kx {

namespace {

class TerminalConsole final : public LogFile {
 public:
  bool append(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t n = ::write(STDERR_FILENO, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }
};

}  // namespace

std::unique_ptr<LogFile> parent_console() {
  if (!::isatty(STDERR_FILENO)) return nullptr;
  return std::make_unique<TerminalConsole>();
}

}  // namespace kx
