// The font record of the window elements.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

struct TFontRec {
  std::string face;
  std::uint8_t points = 8;
  std::uint8_t style_bits = 0;  // 1 bold, 2 italic, 4 underline, 8 strike-out
  std::uint32_t color = 0;
  std::uint8_t charset = 1;
};
void set_font(TFontRec& f, std::string_view face, std::uint8_t points, std::uint8_t style,
              std::uint32_t color, std::uint8_t charset);

}  // namespace kx
