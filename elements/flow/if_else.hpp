// TKxIf_else: compares two operands and passes the event on to onTrue or onFalse.
#pragma once

#include <cstdint>

#include "runtime/tdata.hpp"

namespace kx {

class TKxIf_else {
 public:
  std::uint8_t Mode = 0;  // 0 =, 1 <, 2 >, 3 <=, 4 >=, 5 <> (see compare.hpp)
  TData Op1;              // used when dataOp1 is unconnected; NULL: the event's first value
  TData Op2;              // likewise for dataOp2 and the event's next value
  EventLink dataOp1;
  EventLink dataOp2;
  EventLink onTrue;
  EventLink onFalse;

  // Either branch receives the value as it arrived.
  void doCompare(TData& d, std::uint16_t index);
};

}  // namespace kx
