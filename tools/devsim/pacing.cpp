// The simulated device's pacing: the wire time of its bytes, pauses to the nanosecond that a
// stop ends, and answers that leave once the bytes they answer have crossed the wire.
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <string>

#include "tools/devsim/simulator.hpp"

namespace kx::devsim {

std::chrono::nanoseconds Simulator::wire_time(std::size_t bytes) const {
  if (options_.baud == 0) return std::chrono::nanoseconds(0);
  return std::chrono::nanoseconds(static_cast<std::int64_t>(bytes) * 10 * 1000000000LL /
                                  options_.baud);
}

// Sleeps to the nanosecond (a pacing that rounds every pause up to the next millisecond would
// add a millisecond to every answer), unless stopped.
bool Simulator::pause(std::chrono::nanoseconds d) {
  const auto until = std::chrono::steady_clock::now() + d;
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    const auto left = now >= until ? std::chrono::nanoseconds(0) : until - now;
    const timespec t{static_cast<time_t>(left.count() / 1000000000),
                     static_cast<long>(left.count() % 1000000000)};
    pollfd p{stop_fd_, POLLIN, 0};
    const int r = ppoll(&p, 1, &t, nullptr);
    if (r > 0) return false;
    if (std::chrono::steady_clock::now() >= until) return true;
  }
}

// An answer leaves once the bytes it answers have crossed the wire, and takes its own wire
// time; how its bytes reach the tool depends on the delivery.
void Simulator::answer(const std::string& bytes) {
  const auto now = std::chrono::steady_clock::now();
  if (wire_clock_ < now) wire_clock_ = now;
  const auto start = wire_clock_;
  wire_clock_ += wire_time(bytes.size());
  std::string cuts;
  auto previous = start;
  for (auto& [when, piece] : pieces(bytes, start)) {
    if (!pause(when - std::chrono::steady_clock::now())) return;
    send(piece);
    if (!cuts.empty()) {
      const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(when - previous);
      cuts += " +" + std::to_string(gap.count()) + "ms ";
    }
    cuts += std::to_string(piece.size());
    previous = when;
  }
  answered_ = std::chrono::steady_clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  ++results_.answers_sent;
  results_.last_answered = std::chrono::system_clock::now();
  results_.last_answer_pieces = std::move(cuts);
}

void Simulator::send(const std::string& bytes) {
  std::size_t off = 0;
  while (off < bytes.size() && master_ >= 0) {
    const ssize_t n = ::write(master_, bytes.data() + off, bytes.size() - off);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return;
    }
    off += static_cast<std::size_t>(n);
  }
}

}  // namespace kx::devsim
