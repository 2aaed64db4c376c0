// The one reader of bitmap files (.bmp) for both toolkits: where the parts of a device-
// independent bitmap lie in its bytes, checked against the bytes there are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kx::tk {

struct BmpLayout {
  // A refused file: what is wrong with it; nullptr when the bitmap is whole.
  const char* error = nullptr;
  std::int32_t width = 0;
  std::int32_t rows = 0;  // the height, positive whichever way the rows run
  bool top_down = false;  // a negative height: the first row is the top one
  std::uint16_t bits_per_pixel = 0;
  std::uint32_t compression = 0;
  std::size_t info_at = 0;    // the info header, colour masks and colour table...
  std::size_t info_size = 0;  // ...and their size together
  std::size_t bits_at = 0;    // the pixels

  bool ok() const { return error == nullptr; }
};

// A whole .bmp file (14-byte file header, then the info header) or a bare bitmap starting with
// its info header (the pixels then follow the colour table). Any bitmap whose headers, colour
// table or uncompressed pixels run past the bytes is refused with a reason.
BmpLayout read_bmp(std::span<const std::uint8_t> bytes);

}  // namespace kx::tk
