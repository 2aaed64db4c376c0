// The update log's file on Windows: CreateFileW with append access only, so that every write
// lands at the end even when another program appends too.
#include <windows.h>

#include "app/disk_file.hpp"
#include "app/log_file.hpp"
#include "app/utf8_win32.hpp"

namespace kx {

namespace {

class Win32LogFile final : public LogFile {
 public:
  Win32LogFile(HANDLE h, bool owned) : h_(h), owned_(owned) {}
  ~Win32LogFile() override {
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

}  // namespace

std::unique_ptr<LogFile> open_log_file(const std::string& path) {
  if (!disk_file_problem(path).empty()) return nullptr;
  HANDLE h =
      CreateFileW(to_utf16(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  if (GetFileType(h) != FILE_TYPE_DISK) {  // it changed since its name was looked at
    CloseHandle(h);
    return nullptr;
  }
  return std::make_unique<Win32LogFile>(h, true);
}

std::unique_ptr<LogFile> log_file_on(std::intptr_t native, bool owned) {
  return std::make_unique<Win32LogFile>(reinterpret_cast<HANDLE>(native), owned);
}

}  // namespace kx
