// TKxHub: one event out to several outputs, in index order.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/tdata.hpp"

namespace kx {

class TKxHub {
 public:
  std::uint8_t InCount = 0;  // informative only: every input behaves alike
  std::vector<EventLink> onEvent;

  // Sizes onEvent; links already set below the new count are kept.
  void set_OutCount(std::uint8_t n) { onEvent.resize(n); }
  std::uint8_t OutCount() const { return static_cast<std::uint8_t>(onEvent.size()); }

  // Each output gets its own copy of d, and its whole chain finishes before the next one fires.
  void doEvent(TData& d, std::uint16_t index);
};

}  // namespace kx
