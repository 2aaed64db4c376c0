#include "app/console.hpp"

#include <utility>

namespace kx {

namespace {

class PrefixedLines final : public LogFile {
 public:
  PrefixedLines(std::unique_ptr<LogFile> out, std::string prefix)
      : out_(std::move(out)), prefix_(std::move(prefix)) {}

  // Each write is one whole line or more (the update log writes line by line); the prefix goes
  // before every line the bytes begin.
  bool append(std::string_view bytes) override {
    std::string text;
    text.reserve(bytes.size() + prefix_.size());
    bool line_start = true;
    for (const char c : bytes) {
      if (line_start) text += prefix_;
      text += c;
      line_start = c == '\n';
    }
    return out_->append(text);
  }

 private:
  std::unique_ptr<LogFile> out_;
  std::string prefix_;
};

}  // namespace

std::unique_ptr<LogFile> with_line_prefix(std::unique_ptr<LogFile> out, std::string prefix) {
  if (!out) return nullptr;
  return std::make_unique<PrefixedLines>(std::move(out), std::move(prefix));
}

}  // namespace kx
