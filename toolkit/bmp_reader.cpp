#include "toolkit/bmp_reader.hpp"

#include <limits>

namespace kx::tk {

namespace {

constexpr std::size_t kFileHeader = 14;
constexpr std::uint32_t kInfoHeader = 40;  // the smallest info header read here
constexpr std::uint32_t kRgb = 0;          // uncompressed
constexpr std::uint32_t kBitfields = 3;    // uncompressed with colour masks

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
  return v;
}

std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

BmpLayout refused(const char* why) {
  BmpLayout l;
  l.error = why;
  return l;
}

}  // namespace

BmpLayout read_bmp(std::span<const std::uint8_t> bytes) {
  BmpLayout l;
  const bool file = bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
  l.info_at = file ? kFileHeader : 0;
  if (bytes.size() < l.info_at + kInfoHeader) return refused("shorter than its headers");
  const std::uint32_t header_size = le32(bytes, l.info_at);
  if (header_size < kInfoHeader) return refused("unknown info header");
  if (header_size > bytes.size() - l.info_at) return refused("info header runs past the end");

  l.width = static_cast<std::int32_t>(le32(bytes, l.info_at + 4));
  const auto height = static_cast<std::int32_t>(le32(bytes, l.info_at + 8));
  l.bits_per_pixel = le16(bytes, l.info_at + 14);
  l.compression = le32(bytes, l.info_at + 16);
  if (l.width <= 0) return refused("no width");
  if (height == 0 || height == std::numeric_limits<std::int32_t>::min())
    return refused("no height");
  l.top_down = height < 0;
  l.rows = l.top_down ? -height : height;
  switch (l.bits_per_pixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return refused("unknown number of bits per pixel");
  }

  // Colour masks follow a 40-byte header of a bitfields bitmap; then the colour table.
  std::uint64_t colours = le32(bytes, l.info_at + 32);
  if (colours == 0 && l.bits_per_pixel <= 8) colours = 1u << l.bits_per_pixel;
  const std::uint64_t masks = l.compression == kBitfields && header_size == kInfoHeader ? 3 : 0;
  const std::uint64_t info_size = header_size + (colours + masks) * 4;
  if (info_size > bytes.size() - l.info_at) return refused("colour table runs past the end");
  l.info_size = static_cast<std::size_t>(info_size);

  if (file) {
    l.bits_at = le32(bytes, 10);
    if (l.bits_at < l.info_at + l.info_size) return refused("pixels overlap the headers");
  } else {
    l.bits_at = l.info_at + l.info_size;
  }
  if (l.bits_at > bytes.size()) return refused("pixels start past the end");
  if (l.compression == kRgb || l.compression == kBitfields) {
    const std::uint64_t stride =
        (static_cast<std::uint64_t>(l.width) * l.bits_per_pixel + 31) / 32 * 4;
    if (stride * static_cast<std::uint64_t>(l.rows) > bytes.size() - l.bits_at)
      return refused("pixels run past the end");
  }
  return l;
}

}  // namespace kx::tk
