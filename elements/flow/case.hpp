// TKxCase: compares the event's first value with MatchValue.
#pragma once

#include <cstdint>

#include "runtime/tdata.hpp"

namespace kx {

class TKxCase {
 public:
  TData ResultValue;  // fired on a match
  TData MatchValue;   // the first value is compared with it for equality
  EventLink onMatch;
  EventLink onNoMatch;

  // A match fires a copy of ResultValue on onMatch; otherwise the value as it arrived, chain
  // included, goes to onNoMatch, so several cases can be chained.
  void doCompare(TData& d, std::uint16_t index);
};

}  // namespace kx
