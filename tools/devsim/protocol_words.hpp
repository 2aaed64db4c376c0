// The words of the update protocol as the simulated device hears and speaks them.
#pragma once

#include <cstdint>
#include <string>

namespace kx::devsim {

inline const std::string kQuestion = "VERS";
inline const std::string kStart = "PUSK";

inline std::string crc_bytes(std::uint16_t crc) {
  return {static_cast<char>(crc >> 8), static_cast<char>(crc & 0xFF)};
}

}  // namespace kx::devsim
