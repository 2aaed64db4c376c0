// Bitmaps of the headless toolkit: only the size is kept, read from the resource's info header.

#include "runtime/resource.hpp"
#include "toolkit/headless/headless_window.hpp"

namespace kx::tk {

namespace {
std::int32_t read_le32(std::span<const std::uint8_t> b, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
  return static_cast<std::int32_t>(v);
}
}  // namespace

std::unique_ptr<Bitmap> load_bitmap(std::string_view resource_name) {
  std::span<const std::uint8_t> bytes = resource_bytes(resource_name);
  // A whole .bmp file starts with its 14-byte file header; a bare bitmap with the info header.
  std::size_t info = (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') ? 14 : 0;
  if (bytes.size() < info + 12) return nullptr;
  const std::int32_t header_size = read_le32(bytes, info);
  if (header_size < 40 || bytes.size() < info + 16) return nullptr;
  const std::int32_t width = read_le32(bytes, info + 4);
  std::int32_t height = read_le32(bytes, info + 8);
  if (height < 0) height = -height;  // a top-down bitmap
  if (width <= 0 || height <= 0) return nullptr;
  return std::make_unique<headless::HeadlessBitmap>(width, height);
}

}  // namespace kx::tk
