// TKxStrMask: tests a text against a wildcard pattern ("*" any run, "?" any one character,
// "#" one decimal digit, every other byte itself); the pattern covers the whole text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/tdata.hpp"

namespace kx {

class TKxStrMask {
 public:
  std::string Mask;
  std::uint8_t IgnoreCase = 0;  // only 1 folds the case (Windows-1251 letters)
  EventLink dataText;
  EventLink onMatch;
  EventLink onNoMatch;

  // index 0: passes the text as read to onMatch or onNoMatch.
  void doCompare(TData& d, std::uint16_t index);
  // index 1: the event's value becomes the mask; nothing fires.
  void doSetMask(TData& d, std::uint16_t index);
  // Readable output: the mask as it stands.
  void getMask(TData& d, std::uint16_t index);
};

// The wildcard match itself (time and memory linear in the product / sum of the lengths).
bool mask_matches(std::string_view text, std::string_view mask);

// Lower-cases Windows-1251 text as a Russian Windows does: ASCII, the Russian alphabet with
// Ё, and the other Cyrillic letters of the code page. Every byte is folded, NUL included.
char lower_1251(char c);
std::string lower_1251(std::string_view text);

}  // namespace kx
