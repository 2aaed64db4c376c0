// How an answer's bytes reach the tool's side of the line: whole, cut at random, in a UART's
// receive-FIFO runs, or on a USB adapter's latency ticks.
#include <algorithm>
#include <array>
#include <chrono>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tools/devsim/simulator.hpp"

namespace kx::devsim {

namespace {

struct DeliveryName {
  Delivery delivery;
  const char* name;
};

constexpr std::array<DeliveryName, 4> kDeliveryNames = {{
    {Delivery::Whole, "whole"},
    {Delivery::Random, "random"},
    {Delivery::Fifo, "fifo"},
    {Delivery::Ftdi, "ftdi"},
}};

// The line rate behind the delivery models when the device itself is not paced.
constexpr std::uint32_t kNominalBaud = 38462;
constexpr std::size_t kFifoTrigger = 14;
constexpr int kFifoQuietCharacters = 4;
constexpr std::chrono::milliseconds kLatencyTick{16};

}  // namespace

std::optional<Delivery> delivery_from_name(std::string_view name) {
  for (const DeliveryName& d : kDeliveryNames)
    if (name == d.name) return d.delivery;
  return std::nullopt;
}

const char* delivery_name(Delivery delivery) {
  for (const DeliveryName& d : kDeliveryNames)
    if (d.delivery == delivery) return d.name;
  return "?";
}

std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> Simulator::pieces(
    const std::string& bytes, std::chrono::steady_clock::time_point start) {
  using std::chrono::nanoseconds;
  std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> out;
  if (bytes.empty()) return out;
  const std::size_t n = bytes.size();
  // Arrival of byte i at the receiving end: paced, on the device's own clock; unpaced, the
  // UART and adapter models still see the bytes come one character time apart.
  const nanoseconds paced = wire_time(1);
  const nanoseconds character =
      options_.baud != 0 ? paced : nanoseconds(10 * 1000000000LL / kNominalBaud);
  const auto arrival = [&](std::size_t i, nanoseconds per_byte) {
    return start + per_byte * static_cast<std::int64_t>(i + 1);
  };
  switch (options_.delivery) {
    case Delivery::Whole:
      out.emplace_back(arrival(n - 1, paced), bytes);
      break;
    case Delivery::Random: {
      std::bernoulli_distribution cut(0.5);
      const auto gap_ns = std::chrono::duration_cast<nanoseconds>(options_.max_gap).count();
      std::uniform_int_distribution<std::int64_t> gap(0, gap_ns);
      std::size_t from = 0;
      auto when = start;
      for (std::size_t i = 0; i < n; ++i) {
        if (i + 1 < n && !cut(random_)) continue;
        const auto ready = arrival(i, paced);
        when = out.empty() ? ready : std::max(ready, when + nanoseconds(gap(random_)));
        out.emplace_back(when, bytes.substr(from, i + 1 - from));
        from = i + 1;
      }
      break;
    }
    case Delivery::Fifo:
      for (std::size_t from = 0; from < n; from += kFifoTrigger) {
        const std::size_t len = std::min(kFifoTrigger, n - from);
        auto when = arrival(from + len - 1, character);
        if (len < kFifoTrigger) when += character * kFifoQuietCharacters;
        out.emplace_back(when, bytes.substr(from, len));
      }
      break;
    case Delivery::Ftdi: {
      std::size_t from = 0;
      while (from < n) {
        // The next tick of the latency timer after byte `from` has arrived takes every byte
        // that has arrived by then.
        const auto first = arrival(from, character);
        const auto ticks = (first - epoch_) / kLatencyTick + 1;
        const auto tick = epoch_ + kLatencyTick * ticks;
        std::size_t to = from + 1;
        while (to < n && arrival(to, character) <= tick) ++to;
        out.emplace_back(tick, bytes.substr(from, to - from));
        from = to;
      }
      break;
    }
  }
  return out;
}

}  // namespace kx::devsim
