#include "runtime/conversions.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace kx {

std::int32_t text_to_integer(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
    negative = s[i] == '-';
    ++i;
  }
  std::uint32_t value = 0;  // wraps modulo 2^32
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
    value = value * 10u + static_cast<std::uint32_t>(s[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

namespace {
double power_of_ten(std::int32_t exponent) {
  std::int64_t n = exponent < 0 ? -static_cast<std::int64_t>(exponent) : exponent;
  double result = 1.0;
  double base = 10.0;
  while (n != 0) {
    if (n & 1) result *= base;
    base *= base;
    n >>= 1;
  }
  return exponent < 0 ? 1.0 / result : result;
}
}  // namespace

double text_to_real(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (!s.empty() && s[0] == '-') {
    negative = true;
    i = 1;
  }
  double value = 0.0;
  double scale = 1.0;
  bool fraction = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      if (!fraction) {
        value = value * 10.0 + (c - '0');
      } else {
        scale *= 0.1;
        value += (c - '0') * scale;
      }
    } else if (c == '.') {
      if (fraction) break;
      fraction = true;
    } else if (c == 'E' || c == 'e') {
      // Zero stays zero: a huge exponent must not turn it into 0 times infinity.
      if (value != 0.0) value *= power_of_ten(text_to_integer(s.substr(i + 1)));
      break;
    }
  }
  return negative ? -value : value;
}

std::string integer_to_text(std::int32_t v) {
  return std::to_string(v);
}

std::string real_to_text(double v) {
  if (v == 0.0) return "0";
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  const bool negative = v < 0;
  long double x = std::fabs(static_cast<long double>(v));
  int e = 15;
  bool multiplied = false;
  while (x < 5e12L) {
    x *= 10;
    --e;
    multiplied = true;
  }
  if (!multiplied) {
    while (x >= 1e13L) {
      x /= 10;
      ++e;
    }
  }
  while (std::nearbyint(x) < 1e14L) {
    x *= 10;
    --e;
  }
  const auto digits = std::to_string(static_cast<unsigned long long>(std::nearbyint(x)));
  std::string text;
  if (e >= 15) {
    text = digits + std::string(static_cast<std::size_t>(e - 15), '0');
  } else {
    if (e >= 1) {
      text = digits.substr(0, static_cast<std::size_t>(e)) + "." +
             digits.substr(static_cast<std::size_t>(e));
    } else {
      text = "0." + std::string(static_cast<std::size_t>(-e), '0') + digits;
    }
    while (text.size() > 1 && text.back() == '0') text.pop_back();
    if (text.size() > 1 && text.back() == '.') text.pop_back();
  }
  return negative ? "-" + text : text;
}

std::int32_t real_to_integer(double v) {
  if (std::isnan(v)) return 0;
  double r = std::nearbyint(v);  // the default rounding mode: nearest, ties to even
  if (r >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(r);
}

}  // namespace kx
