// TKxConvertor: turns a number into a one-character text (Mode 4) or into upper-case
// hexadecimal digits (Mode 6). Other modes pass nothing on.
#pragma once

#include <cstdint>

#include "runtime/tdata.hpp"

namespace kx {

class TKxConvertor {
 public:
  std::int32_t Mode = 0;
  std::int32_t Digits = 0;  // minimum hexadecimal digits; only the low 4 bits count
  EventLink dataValue;
  EventLink onResult;

  void doConvert(TData& d, std::uint16_t index);
};

}  // namespace kx
