#include "elements/flow/for.hpp"

namespace kx {

void TKxFor::doFor(TData& d, std::uint16_t) {
  if (!PassData) set_null(d);
  // The loop runs in 64 bits: an end at the edge of the 32-bit range ends the loop instead of
  // wrapping around into an endless one.
  std::int64_t i = read_integer(d, dataStart, Start);
  std::int64_t last = read_integer(d, dataEnd, End);
  if (Step > 0) {
    if (!IncludeEnd) last -= 1;
    for (; i <= last; i += Step) fire_integer(onIteration, static_cast<std::int32_t>(i));
  } else if (Step < 0) {
    if (!IncludeEnd) last += 1;
    for (; i >= last; i += Step) fire_integer(onIteration, static_cast<std::int32_t>(i));
  }
  continue_integer(d, onDone, static_cast<std::int32_t>(i));
}

}  // namespace kx
