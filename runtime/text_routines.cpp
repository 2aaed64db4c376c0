#include "runtime/text_routines.hpp"

#include <algorithm>

namespace kx {

int compare_text_nocase(std::string_view a, std::string_view b) {
  const auto folded = [](char c) {
    const int x = static_cast<unsigned char>(c);
    return x >= 'a' && x <= 'z' ? x - 32 : x;
  };
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int x = folded(a[i]);
    const int y = folded(b[i]);
    if (x != y) return x - y;
  }
  // The end of the shorter text compares as a 0 byte; texts hold NUL bytes too, so a text that
  // goes on with a 0 byte still sorts after its prefix.
  if (a.size() < b.size()) {
    const int y = folded(b[n]);
    return y != 0 ? -y : -1;
  }
  if (a.size() > b.size()) {
    const int x = folded(a[n]);
    return x != 0 ? x : 1;
  }
  return 0;
}

std::size_t find_from(std::string_view sub, std::string_view text, std::size_t start) {
  if (sub.empty() || start == 0 || start > text.size()) return 0;
  std::size_t at = text.find(sub, start - 1);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::string replace_all(std::string text, std::string_view old_text, std::string_view new_text) {
  return replace_all(std::move(text), old_text, new_text,
                     [](const std::string&, std::size_t) { return true; });
}

}  // namespace kx
