// What the serial element's files share: the reader thread's hand-over state, the close's
// bounds, and counts as the element's events carry them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>

#include "elements/serial/com_async.hpp"
#include "elements/serial/port.hpp"

namespace kx {

// The close's teardown, part by part, each with its own bound.
//
// How long the close's thread waits for the reader to leave before leaving it behind; the
// reader only ever blocks in the port wait (woken by stop_waiting) or on the hand-over, unless
// a driver call never returns.
constexpr std::chrono::milliseconds kReaderStopBound{400};
// How long a close waits for written bytes to leave the port: far more than the few bytes a
// finished write can leave queued need, short enough that a pulled adapter cannot hang the exit.
constexpr std::chrono::milliseconds kCloseDrainBound{1000};
// The same with FlushOnClose, which asks for the bytes written to leave before the close: twice
// as long, at the cost of a later onClosed on a line held by flow control.
constexpr std::chrono::milliseconds kFlushDrainBound{2000};
// Room for what has no bound of its own (the end of the watch, the purge, the thread's start
// on a busy machine).
constexpr std::chrono::milliseconds kTeardownCallsRoom{300};

// How long the element thread waits for the teardown: every part's bound together, so that a
// close that is only slow is waited for; only one whose driver hangs is given up.
constexpr std::chrono::milliseconds close_bound(bool flush) {
  return kReaderStopBound + (flush ? kFlushDrainBound : kCloseDrainBound) +
         serial::kPortCloseBound + kTeardownCallsRoom;
}

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
