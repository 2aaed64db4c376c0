// Number and text conversions behind the value readers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

std::int32_t text_to_integer(std::string_view s);
double text_to_real(std::string_view s);
std::string integer_to_text(std::int32_t v);
std::string real_to_text(double v);
std::int32_t real_to_integer(double v);  // nearest, ties to even; saturates beyond 32 bits

}  // namespace kx
