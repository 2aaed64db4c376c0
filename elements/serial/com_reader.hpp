// What the serial element's files share: the reader thread's hand-over state, and counts as
// the element's events carry them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>

#include "elements/serial/com_async.hpp"

namespace kx {

// The reader thread hands one event over at a time and waits until the element thread has
// handled it, so the port is looked at again only after the bytes of the last event were read.
struct TKxComAsync::Reader {
  std::mutex mutex;
  std::condition_variable cv;
  bool stop = false;
  bool handled = true;
  bool done = false;
};

inline std::int32_t clamp_count(std::uint32_t n) {
  return n > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())
             ? std::numeric_limits<std::int32_t>::max()
             : static_cast<std::int32_t>(n);
}

}  // namespace kx
