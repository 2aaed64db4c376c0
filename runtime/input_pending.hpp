// Input that has arrived but is not handled yet: bytes waiting in an open port's input queue
// that its element has not been told of, or an event of its reader still on its way to the
// element thread. A timer's tick asks before it counts: a watchdog that fires while the answer
// it waits for is already here would blame the device for the tool being late.
#pragma once

#include <functional>

#include "runtime/pinned.hpp"

namespace kx {

// Registers `pending` (asked on the element thread) for as long as it lives.
class InputWatch : Pinned {
 public:
  explicit InputWatch(std::function<bool()> pending);
  ~InputWatch();

  bool pending() const { return pending_(); }

 private:
  std::function<bool()> pending_;
};

// Element thread: whether any registered watch has input pending.
bool input_pending();

}  // namespace kx
