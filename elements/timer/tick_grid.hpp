// Which of a periodic system timer's callbacks become ticks. The ticks keep to a fixed grid
// (start + n x interval): each point of the grid that has been reached gives at most one tick,
// however late its callback comes. A thread that was held up and then runs the callbacks it
// missed one right after the other gives one tick for them, not a burst; a late callback
// never takes the place of the next point's, which comes on time.
#pragma once

#include <chrono>
#include <cstdint>

namespace kx {

class TickGrid {
 public:
  using Clock = std::chrono::steady_clock;

  TickGrid(Clock::time_point start, Clock::duration interval);

  // A callback at `now`: true when it is the first since a point of the grid not yet ticked
  // was reached (a callback up to a quarter of an interval early counts for its point: a
  // system timer may run a little ahead of this clock).
  bool pass(Clock::time_point now);
  // The next point of the grid that would give a tick.
  Clock::time_point next_point() const;

 private:
  std::int64_t point_at(Clock::time_point now) const;

  Clock::time_point start_;
  Clock::duration interval_;
  std::int64_t ticked_ = 0;  // the last point that gave a tick; 0: none yet
};

}  // namespace kx
