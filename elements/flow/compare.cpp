#include "elements/flow/compare.hpp"

#include <string>

namespace kx {

namespace {

// Applies an ordering mode to the sign of a three-way result (negative, zero, positive).
template <class T>
bool ordered(const T& x, const T& y, std::uint8_t mode) {
  switch (mode) {
    case kCompareEqual:
      return x == y;
    case kCompareLess:
      return x < y;
    case kCompareGreater:
      return x > y;
    case kCompareLessOrEqual:
      return x <= y;
    case kCompareGreaterOrEqual:
      return x >= y;
    case kCompareNotEqual:
      return x != y;
    default:
      return false;
  }
}

}  // namespace

bool compare_values(const TData& a, const TData& b, std::uint8_t mode) {
  switch (static_cast<std::uint8_t>(kind_of(a) & ~kContinue)) {
    case kNull:
      return (kind_of(b) & ~kContinue) == kNull;
    case kInteger:
      return ordered(a.int_value, to_integer(b), mode);
    case kString: {
      const std::string text = to_string(b);
      if (mode == kCompareEqual) return a.str_value == text;
      if (mode == kCompareNotEqual) return a.str_value != text;
      return ordered(compare_text_nocase(a.str_value, text), 0, mode);
    }
    case kReal:
      return ordered(a.real_value, to_real(b), mode);
    default:
      return false;
  }
}

}  // namespace kx
