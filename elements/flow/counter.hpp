// TKxCounter: a counter that jumps to the opposite bound when it passes one.
#pragma once

#include <cstdint>

#include "runtime/tdata.hpp"

namespace kx {

class TKxCounter {
 public:
  std::int32_t Value = 0;  // the start value, then the current one
  std::int32_t Min = 0;
  std::int32_t Max = 0;
  std::int32_t Step = 0;
  bool Down = false;
  EventLink onCount;

  // Steps first, then passes the new value on: up, beyond Max gives Min; down, below Min
  // gives Max (a jump, not a modulus).
  void doNext(TData& d, std::uint16_t index);
  // Back to Min (Max when counting down); nothing fires.
  void doReset(TData& d, std::uint16_t index);
  void getCount(TData& d, std::uint16_t index);
};

}  // namespace kx
