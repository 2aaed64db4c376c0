// Bytes read from a channel, cut into lines. A line longer than kMaxChannelLine is dropped
// whole (what a hostile or broken writer sends costs bounded memory).
#pragma once

#include <string>
#include <string_view>

namespace kx {

inline constexpr std::size_t kMaxChannelLine = 64 * 1024;

class LineBuffer {
 public:
  // Appends what was read.
  void take(std::string_view bytes) {
    while (!bytes.empty()) {
      const std::size_t eol = bytes.find('\n');
      const std::size_t size = eol == std::string_view::npos ? bytes.size() : eol + 1;
      const std::string_view part = bytes.substr(0, size);
      bytes.remove_prefix(size);
      if (dropping_) {
        dropping_ = eol == std::string_view::npos;
        continue;
      }
      pending_ += part;
      if (eol != std::string_view::npos) continue;
      const std::size_t last = pending_.rfind('\n');
      const std::size_t open = pending_.size() - (last == std::string::npos ? 0 : last + 1);
      if (open > kMaxChannelLine) {
        pending_.resize(pending_.size() - open);
        dropping_ = true;
      }
    }
  }
  // The next whole line without its line end ("\n" or "\r\n"); false when none is whole.
  bool next(std::string& line) {
    const std::size_t eol = pending_.find('\n');
    if (eol == std::string::npos) return false;
    line = pending_.substr(0, eol > 0 && pending_[eol - 1] == '\r' ? eol - 1 : eol);
    pending_.erase(0, eol + 1);
    return true;
  }
  // The channel closed: the rest of a line cut off by the end is dropped.
  void cut() {
    const std::size_t last = pending_.rfind('\n');
    pending_.resize(last == std::string::npos ? 0 : last + 1);
  }

 private:
  std::string pending_;
  bool dropping_ = false;
};

}  // namespace kx
