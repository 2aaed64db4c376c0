// The channel on Windows: an inherited anonymous pipe's writing end, by its handle value.
#include <windows.h>

#include <cstdint>

#include "app/event_channel.hpp"

namespace kx {

namespace {

class PipeWriter final : public ChannelWriter {
 public:
  explicit PipeWriter(HANDLE h) : h_(h) {}
  ~PipeWriter() override { CloseHandle(h_); }

  bool append(std::string_view line) override {
    while (!line.empty() && !broken_) {
      DWORD n = 0;
      if (!WriteFile(h_, line.data(), static_cast<DWORD>(line.size()), &n, nullptr) || n == 0) {
        broken_ = true;  // the reader is gone
        return false;
      }
      line.remove_prefix(n);
    }
    return !broken_;
  }

 private:
  HANDLE h_;
  bool broken_ = false;
};

}  // namespace

std::unique_ptr<ChannelWriter> open_channel(const std::string& name, std::string& problem) {
  unsigned long long value = 0;
  HANDLE h = nullptr;
  if (parse_channel_name(name, UINTPTR_MAX, value))
    h = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
  DWORD flags = 0;
  // A handle this process holds (GetHandleInformation fails for any other value), a pipe.
  if (h == nullptr || !GetHandleInformation(h, &flags) || GetFileType(h) != FILE_TYPE_PIPE) {
    problem = "/events does not name an inherited pipe: " + name;
    return nullptr;
  }
  // Processes this one may start do not get it.
  SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0);
  return std::make_unique<PipeWriter>(h);
}

}  // namespace kx
