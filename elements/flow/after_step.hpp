// TKxAfterStep: passes its event on once the element thread's current step has ended, after
// everything that step set off, the writes it gathered for the port included (those are handed
// over first). Without an element thread it passes the event on at once.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/handover.hpp"
#include "runtime/pinned.hpp"
#include "runtime/tdata.hpp"

namespace kx {

class TKxAfterStep : Pinned {
 public:
  TKxAfterStep();
  ~TKxAfterStep();

  EventLink onEvent;

  // index 0: the value (NULL, Integer, String or Real) travels on later, unchanged.
  void doEvent(TData& d, std::uint16_t index);

 private:
  HandOver<TKxAfterStep> handover_;
  HandOver<TKxAfterStep>::Run run_;
};

}  // namespace kx
