// TKxDoData: on every event, emits the value of its data input, or else its fixed Data.
#pragma once

#include <cstdint>

#include "runtime/tdata.hpp"

namespace kx {

class TKxDoData {
 public:
  TData Data;  // emitted when dataData is unconnected or answers Break; NULL by default
  EventLink dataData;
  EventLink onEventData;

  // The incoming value is never used; the result travels on as a continuation.
  void doData(TData& d, std::uint16_t index);
};

}  // namespace kx
