// Which callbacks of a periodic system timer become ticks: one for each point of the grid
// reached, however late, and never a late one in place of the next point's.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "elements/timer/tick_grid.hpp"

namespace kx {
namespace {

using namespace std::chrono_literals;

TEST(TickGrid, EachPointReachedGivesOneTickHoweverLateItsCallbackComes) {
  struct Case {
    const char* name;
    std::vector<int> callbacks_ms;  // when the system's callbacks run, from the start
    std::vector<bool> ticks;        // which of them become ticks
    int next_ms;                    // the next point that would give a tick, after them
  } cases[] = {
      {"on time", {1000, 2000, 3000}, {true, true, true}, 4000},
      // A late tick, then the next on time: both count, or a watchdog's third second would
      // come only at its fourth.
      {"late, then on time", {1600, 2000, 3000}, {true, true, true}, 4000},
      {"late by most of an interval", {1740, 2000}, {true, true}, 3000},
      // A thread held up runs the callbacks it missed back to back: one tick for them.
      {"missed, then run back to back", {2500, 2500, 3000}, {true, false, true}, 4000},
      // Up to a quarter of an interval early counts for the point (a system timer may run a
      // little ahead of the steady clock); the point's own callback then gives nothing more.
      {"a little early", {999, 1999, 2000}, {true, true, false}, 3000},
      {"run back to back just before a point",
       {2900, 2900, 3000, 4000},
       {true, false, false, true},
       5000},
      {"far too early", {200, 1000}, {false, true}, 2000},
  };
  const auto start = TickGrid::Clock::time_point{} + 1h;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TickGrid grid(start, 1000ms);
    EXPECT_EQ(grid.next_point(), start + 1000ms);
    std::vector<bool> ticks;
    for (int at : c.callbacks_ms) ticks.push_back(grid.pass(start + std::chrono::milliseconds(at)));
    EXPECT_EQ(ticks, c.ticks);
    EXPECT_EQ(grid.next_point(), start + std::chrono::milliseconds(c.next_ms));
  }
}

}  // namespace
}  // namespace kx
