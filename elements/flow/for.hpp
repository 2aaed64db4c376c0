// TKxFor: a counted loop.
#pragma once

#include <cstdint>

#include "runtime/tdata.hpp"

namespace kx {

class TKxFor {
 public:
  std::int32_t Start = 0;
  std::int32_t End = 0;
  std::int32_t Step = 0;
  bool IncludeEnd = false;  // the end value itself is visited
  bool PassData = false;    // unconnected dataStart/dataEnd may take the event's values
  EventLink dataStart;
  EventLink dataEnd;
  EventLink onIteration;
  EventLink onDone;

  // Fires onIteration with each value (each chain finishing before the next), then passes
  // the first value past the end (the start when nothing ran) to onDone. Step 0 runs nothing.
  void doFor(TData& d, std::uint16_t index);
};

}  // namespace kx
