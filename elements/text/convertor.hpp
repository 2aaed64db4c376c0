// TKxConvertor: turns a number into a one-character text (kByteToChar) or into upper-case
// hexadecimal digits (kNumberToHex). Other modes pass nothing on.
#pragma once

#include <cstdint>

#include "runtime/tdata.hpp"

namespace kx {

class TKxConvertor {
 public:
  // The conversions (values of Mode) this tool uses.
  enum : std::int32_t {
    kByteToChar = 4,   // the number's low byte as a one-byte text, NUL included
    kNumberToHex = 6,  // upper-case hexadecimal digits, at least Digits of them
  };

  std::int32_t Mode = 0;
  std::int32_t Digits = 0;  // minimum hexadecimal digits; only the low 4 bits count
  EventLink dataValue;
  EventLink onResult;

  void doConvert(TData& d, std::uint16_t index);
};

}  // namespace kx
