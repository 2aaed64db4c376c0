#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "runtime/memory_stream.hpp"
#include "runtime/tdata.hpp"

namespace kx {
namespace {

TData string_value(std::string s) {
  TData d;
  set_string(d, std::move(s));
  return d;
}

TData real_value(double v) {
  TData d;
  d.kind = kReal;
  d.real_value = v;
  return d;
}

TEST(TextToInteger, StopsAtTheFirstNonDigitAndSkipsNoBlanks) {
  EXPECT_EQ(text_to_integer("12abc"), 12);
  EXPECT_EQ(text_to_integer(" 12"), 0);
  EXPECT_EQ(text_to_integer("abc"), 0);
  EXPECT_EQ(text_to_integer(""), 0);
  EXPECT_EQ(text_to_integer("1e3"), 1);
  EXPECT_EQ(text_to_integer("-"), 0);
  EXPECT_EQ(text_to_integer("+12"), 12);
  EXPECT_EQ(text_to_integer("-37"), -37);
  EXPECT_EQ(text_to_integer("--5"), 0);
  EXPECT_EQ(text_to_integer("007"), 7);
}

TEST(TextToInteger, WrapsModulo2To32) {
  EXPECT_EQ(text_to_integer("2147483647"), 2147483647);
  EXPECT_EQ(text_to_integer("2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(text_to_integer("-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(text_to_integer("4294967297"), 1);
  EXPECT_EQ(text_to_integer("4294967295"), -1);
  EXPECT_EQ(text_to_integer("99999999999"), 1215752191);  // 99999999999 - 23 * 2^32
  EXPECT_EQ(text_to_integer("-4294967296"), 0);
}

TEST(TextToReal, SkipsStrayCharactersAndStopsAtASecondPoint) {
  EXPECT_DOUBLE_EQ(text_to_real("1,5"), 15.0);
  EXPECT_DOUBLE_EQ(text_to_real("2.5e-1"), 0.25);
  EXPECT_DOUBLE_EQ(text_to_real("1.2.3"), 1.2);
  EXPECT_DOUBLE_EQ(text_to_real("-3.75"), -3.75);
  EXPECT_DOUBLE_EQ(text_to_real("x7y"), 7.0);
  EXPECT_DOUBLE_EQ(text_to_real("1E3"), 1000.0);
  EXPECT_DOUBLE_EQ(text_to_real("12e2x"), 1200.0);
  EXPECT_DOUBLE_EQ(text_to_real("5e"), 5.0);
  EXPECT_EQ(text_to_real(""), 0.0);
  EXPECT_EQ(text_to_real("abc"), 0.0);
  // Only a leading minus counts; a later one is skipped like any other character.
  EXPECT_DOUBLE_EQ(text_to_real("4-2"), 42.0);
  EXPECT_DOUBLE_EQ(text_to_real("+8"), 8.0);
}

TEST(TextToReal, HugeExponentsGiveInfinityOrZeroNeverNaN) {
  EXPECT_EQ(text_to_real("0e999"), 0.0);
  EXPECT_EQ(text_to_real("0.0E400"), 0.0);
  EXPECT_TRUE(std::isinf(text_to_real("5e400")));
  EXPECT_EQ(text_to_real("5e-400"), 0.0);
  TData d = string_value("0e999");
  EXPECT_EQ(to_real(d), 0.0);
}

TEST(RealToText, FifteenSignificantDigitsWithoutExponent) {
  EXPECT_EQ(real_to_text(0.0), "0");
  EXPECT_EQ(real_to_text(1.5), "1.5");
  EXPECT_EQ(real_to_text(0.1), "0.1");
  EXPECT_EQ(real_to_text(123.0), "123");
  EXPECT_EQ(real_to_text(0.01), "0.01");
  EXPECT_EQ(real_to_text(-2.5), "-2.5");
  EXPECT_EQ(real_to_text(10.0), "10");
  EXPECT_EQ(real_to_text(100.0), "100");
  EXPECT_EQ(real_to_text(12345.678), "12345.678");
  EXPECT_EQ(real_to_text(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(real_to_text(2.0 / 3.0), "0.666666666666667");
  EXPECT_EQ(real_to_text(-1.0 / 3.0), "-0.333333333333333");
  EXPECT_EQ(real_to_text(1e-5), "0.00001");
  EXPECT_EQ(real_to_text(1e-20), "0.00000000000000000001");
}

TEST(RealToText, LargeValuesArePaddedWithZeros) {
  EXPECT_EQ(real_to_text(1e20), "100000000000000000000");
  EXPECT_EQ(real_to_text(1e14), "100000000000000");
  EXPECT_EQ(real_to_text(1e15), "1000000000000000");
  EXPECT_EQ(real_to_text(123456789012345678.0), "123456789012346000");
  EXPECT_EQ(real_to_text(-5e16), "-50000000000000000");
  EXPECT_EQ(real_to_text(2147483648.0), "2147483648");
}

TEST(RealToText, RoundTripsThroughTextToReal) {
  for (double v : {0.5, 3.25, 1234.5, 0.000125, 98765.4321}) {
    EXPECT_DOUBLE_EQ(text_to_real(real_to_text(v)), v) << v;
  }
}

TEST(RealToInteger, RoundsToNearestWithTiesToEven) {
  EXPECT_EQ(to_integer(real_value(2.5)), 2);
  EXPECT_EQ(to_integer(real_value(3.5)), 4);
  EXPECT_EQ(to_integer(real_value(0.5)), 0);
  EXPECT_EQ(to_integer(real_value(1.5)), 2);
  EXPECT_EQ(to_integer(real_value(-2.5)), -2);
  EXPECT_EQ(to_integer(real_value(-3.5)), -4);
  EXPECT_EQ(to_integer(real_value(2.4999)), 2);
  EXPECT_EQ(to_integer(real_value(-0.6)), -1);
}

TEST(RealToInteger, SaturatesBeyond32Bits) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(real_to_integer(3e9), kMax);
  EXPECT_EQ(real_to_integer(-3e9), kMin);
  EXPECT_EQ(real_to_integer(1e300), kMax);
  EXPECT_EQ(real_to_integer(-1e300), kMin);
  EXPECT_EQ(real_to_integer(2147483647.4), kMax);
  EXPECT_EQ(real_to_integer(2147483646.6), kMax);
  EXPECT_EQ(real_to_integer(2147483646.4), kMax - 1);
  EXPECT_EQ(real_to_integer(-2147483648.4), kMin);
  EXPECT_EQ(real_to_integer(-2147483648.6), kMin);
  EXPECT_EQ(real_to_integer(std::numeric_limits<double>::infinity()), kMax);
  EXPECT_EQ(real_to_integer(std::nan("")), 0);
}

TEST(Readers, ToIntegerOfTextFollowsTheTextRule) {
  EXPECT_EQ(to_integer(string_value("-")), 0);
  EXPECT_EQ(to_integer(string_value("+12")), 12);
  EXPECT_EQ(to_integer(string_value("1e3")), 1);
  TData null_value;
  EXPECT_EQ(to_integer(null_value), 0);
  TData reserved;
  reserved.kind = 8;  // Color: never produced, converts like NULL
  reserved.int_value = 99;
  EXPECT_EQ(to_integer(reserved), 0);
  EXPECT_EQ(to_string(reserved), "");
  EXPECT_EQ(to_real(reserved), 0.0);
}

TEST(Readers, ToIntegerOrMinusOne) {
  EXPECT_EQ(to_integer_or_minus_one(string_value("")), -1);
  EXPECT_EQ(to_integer_or_minus_one(string_value("0")), 0);
  EXPECT_EQ(to_integer_or_minus_one(string_value("abc")), -1);
  EXPECT_EQ(to_integer_or_minus_one(string_value("3x")), 3);
  EXPECT_EQ(to_integer_or_minus_one(string_value("-0")), -1);
  TData null_value;
  EXPECT_EQ(to_integer_or_minus_one(null_value), -1);
  TData zero;
  set_integer(zero, 0);
  EXPECT_EQ(to_integer_or_minus_one(zero), 0);
  EXPECT_EQ(to_integer_or_minus_one(real_value(4.5)), 4);
}

TEST(Readers, IsTrueIsFalseOnlyForIntegerZero) {
  TData d;
  EXPECT_TRUE(is_true(d));
  EXPECT_TRUE(is_true(string_value("0")));
  set_integer(d, 0);
  EXPECT_FALSE(is_true(d));
  set_integer(d, -1);
  EXPECT_TRUE(is_true(d));
}

TEST(Readers, StreamsAndTheirText) {
  MemoryStream stream;
  TData d;
  set_stream(d, &stream);
  EXPECT_EQ(to_stream(d), &stream);
  EXPECT_EQ(to_string(d), "");
  EXPECT_EQ(to_integer(d), 0);
  set_integer(d, 4);
  EXPECT_EQ(to_stream(d), nullptr);
}

TEST(Readers, IntegerAndRealTexts) {
  TData d;
  set_integer(d, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(to_string(d), "-2147483648");
  EXPECT_EQ(to_real(d), -2147483648.0);
  EXPECT_EQ(to_string(real_value(0.25)), "0.25");
  EXPECT_DOUBLE_EQ(to_real(string_value("2.5e-1")), 0.25);
}

TEST(Constructors, SetNullKeepsTheTextButDropsTheChain) {
  TData node;
  set_integer(node, 3);
  TData d = string_value("kept");
  d.next = &node;
  set_null(d);
  EXPECT_EQ(kind_of(d), kNull);
  EXPECT_EQ(d.next, nullptr);
  EXPECT_EQ(d.str_value, "kept");
  EXPECT_EQ(to_string(d), "");
}

TEST(KindNames, TableHasTwentyThreeEntries) {
  EXPECT_STREQ(kind_name(0), "NULL");
  EXPECT_STREQ(kind_name(kStream), "Stream");
  EXPECT_STREQ(kind_name(kBreak), "Break");
  EXPECT_STREQ(kind_name(23), "");
}

}  // namespace
}  // namespace kx
