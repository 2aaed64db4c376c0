#include "elements/text/format_str.hpp"

namespace kx {

namespace {

// The private marks inside the working text.
constexpr char kPercentMark = '\x00';  // an escaped "%%"
constexpr char kValueMark = '\x01';    // the start of an inserted value

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

void TKxFormatStr::doFormat(TData& d, std::uint16_t) {
  std::string work = replace_all(Mask, "%%", std::string_view(&kPercentMark, 1));
  for (std::int32_t i = 1; i <= Count(); ++i) {
    std::string placeholder = "%";
    placeholder += integer_to_text(i);
    std::string value = read_string(d, dataParam[static_cast<std::size_t>(i)], "");
    value.insert(value.begin(), kValueMark);
    // Only an occurrence that is not followed by a digit is this placeholder: %1 is not the
    // start of %10.
    work = replace_all(std::move(work), placeholder, value,
                       [&placeholder](const std::string& text, std::size_t position) {
                         const std::size_t after = position - 1 + placeholder.size();
                         return after >= text.size() || !is_digit(text[after]);
                       });
  }
  std::string out;
  out.reserve(work.size());
  for (char c : work) {
    if (c == kValueMark) continue;
    out.push_back(c == kPercentMark ? '%' : c);
  }
  result = out;
  continue_string(d, onResult, std::move(out));
}

}  // namespace kx
