// The parent's console on Windows. A windowed program gets no console of its own: it writes to
// the standard output its parent handed over (a batch file's redirection), or else attaches to
// the console of the program that started it (a command prompt). Nothing when there is neither.
#include <windows.h>

#include "app/console.hpp"

namespace kx {

namespace {

class Win32Console final : public LogFile {
 public:
  Win32Console(HANDLE h, bool owned) : h_(h), owned_(owned) {}
  ~Win32Console() override {
    if (owned_) CloseHandle(h_);
  }

  bool append(std::string_view bytes) override {
    while (!bytes.empty()) {
      DWORD n = 0;
      if (!WriteFile(h_, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) || n == 0)
        return false;
      bytes.remove_prefix(n);
    }
    return true;
  }

 private:
  HANDLE h_;
  bool owned_;
};

bool usable(HANDLE h) {
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

}  // namespace

std::unique_ptr<LogFile> parent_console() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (usable(out)) return std::make_unique<Win32Console>(out, false);
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return nullptr;
  HANDLE console = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32Console>(console, true);
}

}  // namespace kx
