// Bitmaps of the Win32 toolkit: device-independent bitmaps read from the resources.
#include <windows.h>

#include "runtime/resource.hpp"
#include "toolkit/bmp_reader.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::tk {

// A device-independent bitmap from the resource's bytes: a .bmp file (file header, info
// header, colour table, pixels) or the bare info header and pixels.
std::unique_ptr<Bitmap> load_bitmap(std::string_view resource_name) {
  const std::span<const std::uint8_t> data = resource_bytes(resource_name);
  const BmpLayout bmp = read_bmp(data);
  if (!bmp.ok()) return nullptr;
  std::vector<std::uint8_t> info(
      data.begin() + static_cast<std::ptrdiff_t>(bmp.info_at),
      data.begin() + static_cast<std::ptrdiff_t>(bmp.info_at + bmp.info_size));
  return std::make_unique<win32::Win32Bitmap>(std::move(info), data.data() + bmp.bits_at, bmp.width,
                                              bmp.rows);
}

}  // namespace kx::tk
