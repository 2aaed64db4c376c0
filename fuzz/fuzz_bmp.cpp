// The bitmap reader: no crash, no undefined behaviour, and every part of an accepted bitmap
// lies within the bytes it was read from.
#include <cstddef>
#include <cstdint>
#include <span>

#include "toolkit/bmp_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const kx::tk::BmpLayout l = kx::tk::read_bmp(bytes);
  if (!l.ok()) return 0;
  if (l.width <= 0 || l.rows <= 0) __builtin_trap();
  if (l.info_at + l.info_size > size || l.bits_at > size) __builtin_trap();
  // Touch the last byte of each part, so that the address sanitizer sees any overrun.
  volatile std::uint8_t sink = bytes[l.info_at + l.info_size - 1];
  if (l.compression == 0) {
    const std::size_t stride = (static_cast<std::size_t>(l.width) * l.bits_per_pixel + 31) / 32 * 4;
    sink = bytes[l.bits_at + stride * static_cast<std::size_t>(l.rows) - 1];
  }
  (void)sink;
  return 0;
}
