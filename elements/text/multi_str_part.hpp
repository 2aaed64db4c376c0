// TKxMultiStrPart: splits a text at delimiter characters into numbered parts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/tdata.hpp"

namespace kx {

class TKxMultiStrPart {
 public:
  std::string Delimiter;
  std::int32_t Skip = 0;  // pieces dropped before the first stored part
  EventLink dataText;
  EventLink onNoDelimiter;
  EventLink onRest;

  void set_Count(std::int32_t n) { parts_.assign(n > 0 ? static_cast<std::size_t>(n) : 0, {}); }
  std::int32_t Count() const { return static_cast<std::int32_t>(parts_.size()); }

  // Each cut ends at the first of any Delimiter character and skips the length of the whole
  // Delimiter behind it. A text that does not hold Delimiter as a whole goes to
  // onNoDelimiter with every part empty; otherwise the rest after the last part goes to onRest.
  void doSplit(TData& d, std::uint16_t index);
  // Part `index` of the last split; empty text for an index at or above Count.
  void getPart(TData& d, std::uint16_t index);

 private:
  std::vector<std::string> parts_;
};

}  // namespace kx
