// Bitmaps of the headless toolkit: only the size is kept.

#include "runtime/resource.hpp"
#include "toolkit/bmp_reader.hpp"
#include "toolkit/headless/headless_window.hpp"

namespace kx::tk {

std::unique_ptr<Bitmap> load_bitmap(std::string_view resource_name) {
  const BmpLayout bmp = read_bmp(resource_bytes(resource_name));
  if (!bmp.ok()) return nullptr;
  return std::make_unique<headless::HeadlessBitmap>(bmp.width, bmp.rows);
}

}  // namespace kx::tk
