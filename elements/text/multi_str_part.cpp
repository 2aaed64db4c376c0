#include "elements/text/multi_str_part.hpp"

namespace kx {

namespace {

// Takes the next piece off the front of text: it ends at the first of any Delimiter
// character, and the whole Delimiter's length is skipped there.
std::string cut(std::string& text, const std::string& delimiter) {
  std::size_t p = text.find_first_of(delimiter);
  if (p == std::string::npos) p = text.size();
  std::string piece = text.substr(0, p);
  const std::size_t rest = p + delimiter.size();
  text = rest < text.size() ? text.substr(rest) : std::string();
  return piece;
}

}  // namespace

void TKxMultiStrPart::doSplit(TData& d, std::uint16_t) {
  for (auto& part : parts_) part.clear();
  std::string text = read_string(d, dataText, "");
  if (Delimiter.empty() || text.find(Delimiter) == std::string::npos) {
    continue_string(d, onNoDelimiter, std::move(text));
    return;
  }
  for (std::int32_t i = 0; i < Skip; ++i) {
    if (text.empty()) break;  // further cuts of an empty text change nothing
    cut(text, Delimiter);
  }
  for (auto& part : parts_) part = cut(text, Delimiter);
  continue_string(d, onRest, std::move(text));
}

void TKxMultiStrPart::getPart(TData& d, std::uint16_t index) {
  set_string(d, index < parts_.size() ? parts_[index] : std::string());
}

}  // namespace kx
