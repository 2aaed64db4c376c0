#include "elements/flow/case.hpp"

#include "elements/flow/compare.hpp"

namespace kx {

void TKxCase::doCompare(TData& d, std::uint16_t) {
  TData saved = d;
  TData first;
  take_first_value(d, first);
  if (compare_values(first, MatchValue, kCompareEqual)) {
    fire_copy(onMatch, ResultValue);
  } else {
    fire(onNoMatch, saved);
  }
}

}  // namespace kx
