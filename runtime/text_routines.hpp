// Text routines the elements share.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kx {

int compare_text_nocase(std::string_view a, std::string_view b);
std::size_t find_from(std::string_view sub, std::string_view text, std::size_t start);
template <class Accept>
std::string replace_all(std::string text, std::string_view old_text, std::string_view new_text,
                        Accept accept);
std::string replace_all(std::string text, std::string_view old_text, std::string_view new_text);

// The accepting variant of replace_all: accept(text, position) is asked with the text as it
// came in and the 1-based position of each occurrence in it; a refused one is skipped by one
// character. Replaced text is never searched again. The result is built in one pass, so the
// time is linear in the sizes whatever the number of occurrences.
template <class Accept>
std::string replace_all(std::string text, std::string_view old_text, std::string_view new_text,
                        Accept accept) {
  if (old_text.empty()) return text;
  std::string out;
  std::size_t copied = 0;  // text before this is in out already
  std::size_t pos = 0;
  while (pos + old_text.size() <= text.size()) {
    const std::size_t at = text.find(old_text, pos);
    if (at == std::string::npos) break;
    if (accept(static_cast<const std::string&>(text), at + 1)) {
      if (out.empty()) out.reserve(text.size());
      out.append(text, copied, at - copied);
      out.append(new_text);
      copied = at + old_text.size();
      pos = copied;
    } else {
      pos = at + 1;
    }
  }
  if (copied == 0) return text;
  out.append(text, copied, std::string::npos);
  return out;
}

}  // namespace kx
