// TKxStream2Hex: turns a text (any bytes) into upper-case hexadecimal digit pairs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/tdata.hpp"

namespace kx {

class TKxStream2Hex {
 public:
  EventLink dataText;
  EventLink onResult;

  void doConvert(TData& d, std::uint16_t index);
};

// Two upper-case digits per byte, high nibble first, no separators.
std::string bytes_to_hex(std::string_view bytes);

}  // namespace kx
