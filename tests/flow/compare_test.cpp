#include <cstdint>

#include <gtest/gtest.h>

#include "elements/flow/compare.hpp"
#include "recorder.hpp"
#include "runtime/memory_stream.hpp"

namespace kx {
namespace {

using testing_flow::integer;
using testing_flow::text;

TData real(double v) {
  TData d;
  d.kind = kReal;
  d.real_value = v;
  return d;
}

TEST(Compare, NullLeftIsTrueOnlyAgainstNullInEveryMode) {
  const TData null_value;
  for (std::uint8_t mode = 0; mode < 8; ++mode) {
    EXPECT_TRUE(compare_values(null_value, null_value, mode)) << int{mode};
    EXPECT_FALSE(compare_values(null_value, integer(0), mode)) << int{mode};
    EXPECT_FALSE(compare_values(null_value, text(""), mode)) << int{mode};
  }
}

TEST(Compare, IntegersAreSignedAndConvertTheRightSide) {
  EXPECT_TRUE(compare_values(integer(-1), integer(1), kCompareLess));
  EXPECT_FALSE(compare_values(integer(-1), integer(1), kCompareGreater));
  EXPECT_TRUE(compare_values(integer(12), text("12abc"), kCompareEqual));
  EXPECT_TRUE(compare_values(integer(0), TData{}, kCompareEqual));      // NULL converts to 0
  EXPECT_TRUE(compare_values(integer(3), real(2.5), kCompareGreater));  // 2.5 rounds to 2
  EXPECT_TRUE(compare_values(integer(5), integer(5), kCompareLessOrEqual));
  EXPECT_TRUE(compare_values(integer(5), integer(5), kCompareGreaterOrEqual));
  EXPECT_FALSE(compare_values(integer(5), integer(5), kCompareNotEqual));
  EXPECT_TRUE(compare_values(integer(5), integer(6), kCompareNotEqual));
}

TEST(Compare, TextEqualityIsExactButOrderingFoldsAsciiCase) {
  EXPECT_FALSE(compare_values(text("abc"), text("ABC"), kCompareEqual));
  EXPECT_TRUE(compare_values(text("abc"), text("ABC"), kCompareNotEqual));
  EXPECT_TRUE(compare_values(text("abc"), text("ABC"), kCompareLessOrEqual));
  EXPECT_TRUE(compare_values(text("abc"), text("ABC"), kCompareGreaterOrEqual));
  EXPECT_FALSE(compare_values(text("abc"), text("ABC"), kCompareLess));
  EXPECT_TRUE(compare_values(text("abc"), text("ABD"), kCompareLess));
  EXPECT_TRUE(compare_values(text("0"), integer(0), kCompareEqual));
  EXPECT_FALSE(compare_values(text("00"), integer(0), kCompareEqual));
  // Cyrillic letters are not folded: small a (E0) is greater than capital A (C0).
  EXPECT_TRUE(compare_values(text("\xE0"), text("\xC0"), kCompareGreater));
}

TEST(Compare, RealsCompareAsReals) {
  EXPECT_TRUE(compare_values(real(2.5), text("2.5"), kCompareEqual));
  EXPECT_TRUE(compare_values(real(2.5), integer(2), kCompareGreater));
  EXPECT_TRUE(compare_values(real(-0.5), integer(0), kCompareLess));
}

TEST(Compare, UnknownKindsAndModesAreFalse) {
  MemoryStream stream;
  TData s;
  set_stream(s, &stream);
  for (std::uint8_t mode = 0; mode < 8; ++mode) {
    EXPECT_FALSE(compare_values(s, s, mode)) << int{mode};
  }
  EXPECT_FALSE(compare_values(integer(1), integer(1), 6));
  EXPECT_FALSE(compare_values(text("a"), text("a"), 6));
  EXPECT_FALSE(compare_values(real(1.0), real(1.0), 255));
}

}  // namespace
}  // namespace kx
