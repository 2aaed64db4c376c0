// A call into a driver that may hang for good, made on an unwaited thread (runtime/threads.hpp)
// and waited for with a bound. The thread touches only its own record and what its work
// captured. When the waiter has given up, the result that comes later is handed to the
// call's clean-up on that thread, which owns it from then on: what the call opened is closed
// there and never used, and nothing leaks.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "runtime/threads.hpp"

namespace kx {

enum class CallOutcome {
  Done,      // the result came within the bound
  Late,      // the bound passed first: the result goes to the clean-up when it comes
  NoThread,  // the system refused a thread: nothing ran
};

template <class T>
struct BoundedResult {
  CallOutcome outcome = CallOutcome::NoThread;
  std::optional<T> value;  // Done only
};

// Runs `work` on an unwaited thread and waits at most `bound` for its result; a result that
// comes later is given to `late` (when set) on the thread, then released there.
template <class T>
BoundedResult<T> call_bounded(std::function<T()> work, std::function<void(T&)> late,
                              std::chrono::milliseconds bound) {
  struct Record {
    std::mutex mutex;
    std::condition_variable cv;
    std::optional<T> value;
    bool abandoned = false;
  };
  auto record = std::make_shared<Record>();
  const bool started =
      start_unwaited_thread([record, work = std::move(work), late = std::move(late)] {
        T result = work();
        std::unique_lock<std::mutex> lock(record->mutex);
        if (record->abandoned) {
          lock.unlock();
          if (late) late(result);
          return;
        }
        record->value.emplace(std::move(result));
        record->cv.notify_all();
      });
  if (!started) return {};
  std::unique_lock<std::mutex> lock(record->mutex);
  if (!record->cv.wait_for(lock, bound, [&] { return record->value.has_value(); })) {
    record->abandoned = true;
    return {CallOutcome::Late, std::nullopt};
  }
  return {CallOutcome::Done, std::move(record->value)};
}

// The same for work that gives no result: Done when it ended within the bound.
inline CallOutcome call_bounded(std::function<void()> work, std::chrono::milliseconds bound) {
  struct Ended {};
  return call_bounded<Ended>(
             [work = std::move(work)] {
               work();
               return Ended{};
             },
             {}, bound)
      .outcome;
}

}  // namespace kx
