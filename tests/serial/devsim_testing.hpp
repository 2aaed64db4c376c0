// What the simulator tests share: the small image they send and the answers it earns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/image_layout.hpp"
#include "tools/devsim/simulator.hpp"

namespace kx::devsim_testing {

inline constexpr std::size_t kBlocks = 4;
inline constexpr std::size_t kBlock = image_layout::kBlockSize;

inline std::uint16_t crc_of(const std::vector<std::uint8_t>& image, std::size_t n) {
  std::uint16_t crc = 0xFFFF;
  for (std::size_t i = 0; i < n; ++i) crc = devsim::crc16_step(crc, image[i]);
  return crc;
}

inline std::string crc_text(std::uint16_t crc) {
  return {static_cast<char>(crc >> 8), static_cast<char>(crc & 0xFF)};
}

}  // namespace kx::devsim_testing
