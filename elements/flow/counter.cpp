#include "elements/flow/counter.hpp"

namespace kx {

void TKxCounter::doNext(TData& d, std::uint16_t) {
  // The step is taken in 64 bits, so that passing a bound near the ends of the 32-bit range
  // still counts as passing it.
  if (!Down) {
    const std::int64_t next = std::int64_t{Value} + Step;
    Value = next > Max ? Min : static_cast<std::int32_t>(next);
  } else {
    const std::int64_t next = std::int64_t{Value} - Step;
    Value = next < Min ? Max : static_cast<std::int32_t>(next);
  }
  continue_integer(d, onCount, Value);
}

void TKxCounter::doReset(TData&, std::uint16_t) {
  Value = Down ? Max : Min;
}

void TKxCounter::getCount(TData& d, std::uint16_t) {
  set_integer(d, Value);
}

}  // namespace kx
