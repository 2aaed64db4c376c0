#include "elements/window/font_rec.hpp"

namespace kx {

void set_font(TFontRec& f, std::string_view face, std::uint8_t points, std::uint8_t style,
              std::uint32_t color, std::uint8_t charset) {
  f.face = std::string(face.substr(0, 31));
  f.points = points;
  f.style_bits = style;
  f.color = color;
  f.charset = charset;
}

}  // namespace kx
