#include "elements/timer/tick_grid.hpp"

namespace kx {

TickGrid::TickGrid(Clock::time_point start, Clock::duration interval)
    : start_(start), interval_(interval.count() > 0 ? interval : Clock::duration(1)) {}

std::int64_t TickGrid::point_at(Clock::time_point now) const {
  if (now < start_) return 0;
  return static_cast<std::int64_t>((now - start_ + interval_ / 4) / interval_);
}

bool TickGrid::pass(Clock::time_point now) {
  const std::int64_t point = point_at(now);
  if (point <= ticked_) return false;
  ticked_ = point;
  return true;
}

TickGrid::Clock::time_point TickGrid::next_point() const {
  return start_ + (ticked_ + 1) * interval_;
}

}  // namespace kx
