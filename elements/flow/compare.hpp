// The comparison behind TKxCase and TKxIf_else.
#pragma once

#include <cstdint>

#include "runtime/tdata.hpp"

namespace kx {

// Comparison modes: 0 equal, 1 less, 2 greater, 3 less or equal, 4 greater or equal, 5 not equal.
enum : std::uint8_t {
  kCompareEqual = 0,
  kCompareLess = 1,
  kCompareGreater = 2,
  kCompareLessOrEqual = 3,
  kCompareGreaterOrEqual = 4,
  kCompareNotEqual = 5,
};

// Compares a with b converted to a's kind. A NULL a equals only a NULL b, whatever the mode.
// Strings: modes 0 and 5 compare the exact bytes, the ordering modes fold ASCII letters only.
// Kinds other than NULL, Integer, String and Real, and modes above 5, give false.
bool compare_values(const TData& a, const TData& b, std::uint8_t mode);

}  // namespace kx
