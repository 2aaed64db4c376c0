// Small constructors the generated schemes share: a hub sized in one step, an upward counter.
#pragma once

#include <cstdint>

#include "elements/flow/counter.hpp"
#include "elements/flow/hub.hpp"

namespace kx {

inline TKxHub* new_hub(std::uint8_t in_count, std::uint8_t out_count) {
  auto* hub = new TKxHub();
  hub->InCount = in_count;
  hub->set_OutCount(out_count);
  return hub;
}

inline TKxCounter* new_counter(std::int32_t max) {
  auto* counter = new TKxCounter();
  counter->Value = 0;
  counter->Min = 0;
  counter->Max = max;
  counter->Step = 1;
  counter->Down = 0;
  return counter;
}

}  // namespace kx
