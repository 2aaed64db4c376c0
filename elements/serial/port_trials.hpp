// The trial opens of ports in progress, process-wide. A trial runs on an unwaited thread (it
// may hang in the driver for good) and touches only its own record; it opens the port and
// closes it at once, also when its answer comes after everyone stopped waiting for it. While
// a trial of a port runs, no second one of the same port is started: whoever asks again waits
// on the one already running. The serial element's own open of a port waits, bounded, until no
// trial holds that port.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kx::serial {

struct Trial {
  enum : std::uint8_t { kPending, kOpenable, kRefused };
  std::atomic<std::uint8_t> result{kPending};
};

using TrialCheck = std::function<bool(const std::string& name)>;

// The trial of `name` in progress, or a new one running `check`. nullptr when no thread could
// be started for it (the port counts as not openable this time).
std::shared_ptr<Trial> trial_of(const std::string& name, const TrialCheck& check);

// Waits until `trial` has answered, `deadline` has passed or `stop` (when given) holds; true when
// the port could be opened. A trial still pending then counts as not openable.
bool openable_by(const Trial& trial, std::chrono::steady_clock::time_point deadline,
                 const std::function<bool()>& stop = {});

// Waits up to `bound` until no trial of `name` runs; true when none does.
bool wait_for_trials(const std::string& name, std::chrono::milliseconds bound);

// The number of trials running now, every port together (tests).
std::size_t trials_running();

}  // namespace kx::serial
