// TKxStrCat: joins two texts.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/tdata.hpp"

namespace kx {

class TKxStrCat {
 public:
  std::string Str1;
  std::string Str2;
  EventLink dataStr1;
  EventLink dataStr2;
  EventLink onResult;
  std::string result;  // the last result

  void doStrCat(TData& d, std::uint16_t index);
};

}  // namespace kx
