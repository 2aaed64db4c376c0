// The ports held by threads nobody waits for, process-wide: trial opens in progress, and the
// teardowns of closed ports still running.
//
// A trial runs on an unwaited thread (it may hang in the driver for good) and touches only its
// own record; it opens the port and closes it at once, also when its answer comes after
// everyone stopped waiting for it. While a trial of a port runs, no second one of the same port
// is started: whoever asks again waits on the one already running. A close's teardown (the
// serial element's) runs on an unwaited thread too and may outlive the close's bound. The
// serial element's own open of a port waits, bounded, until neither holds that port.
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
// the port could be opened. A trial still pending then counts as not openable. Whoever makes
// `stop` hold calls wake_trial_waiters() then.
bool openable_by(const Trial& trial, std::chrono::steady_clock::time_point deadline,
                 const std::function<bool()>& stop = {});
void wake_trial_waiters();

// A teardown of `name`'s port holds it from teardown_started to teardown_ended (each start is
// ended once, also when the teardown ends long after its close went on).
void teardown_started(const std::string& name);
void teardown_ended(const std::string& name);

// Waits up to `bound` until no trial and no teardown of `name` runs; true when none does.
bool wait_for_release(const std::string& name, std::chrono::milliseconds bound);

// The number of trials running now, every port together (tests).
std::size_t trials_running();

}  // namespace kx::serial
