// TKxCommutator: routes an event to the output chosen by dataChannel.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/tdata.hpp"

namespace kx {

class TKxCommutator {
 public:
  std::vector<EventLink> onEvent;
  EventLink dataEnabled;  // 0 blocks every event (unconnected: enabled)
  EventLink dataInput;    // when not negative, only this input passes (unconnected: any)
  EventLink dataChannel;  // the output; negative: all of them (unconnected: all)

  void set_OutCount(std::uint8_t n) { onEvent.resize(n); }
  std::uint8_t OutCount() const { return static_cast<std::uint8_t>(onEvent.size()); }

  // index: the number of the input the event came in on.
  void doWork(TData& d, std::uint16_t index);
};

}  // namespace kx
