// The product's threads. Every thread the product starts is one of two kinds:
//
// - A JoinedThread belongs to an object and is joined by it (at the latest in its
//   destructor). Its body must end soon after it is asked to: it never blocks in a call that
//   may not return (the trial-open collector, the timer's clock thread).
// - An unwaited thread (start_unwaited_thread) runs work that may hang in the operating system
//   for good: a trial open of a port, a read from a driver that never returns, a write to a
//   stalled file system. Nobody joins it; whoever started it may be gone when it ends. Its body
//   therefore touches only what it holds a reference to (a reference-counted record it shares
//   with its starter, who waits for it with a bound at most), and a result that comes late is
//   dropped by that record's rules. The thread's system handle is kept in a process-wide list
//   and released by a later start once the thread has ended; at the process's end threads
//   that are about to end are waited for, 200 ms at most (one still hanging ends with the
//   process). What the body captured is released on the thread when it ends.
//
// Both are native threads of the platform (threads_win32.cpp, threads_posix.cpp). A start the
// system refuses is reported as false, never as an exception, and nothing runs.
#pragma once

#include <functional>
#include <memory>

#include "runtime/pinned.hpp"

namespace kx {

class JoinedThread : Pinned {
 public:
  JoinedThread();
  ~JoinedThread();  // joins

  // Starts `body` on a thread of its own. False when a thread of this object still runs (join
  // it first) or when the system refuses a thread; nothing runs then.
  bool start(std::function<void()> body);
  // Waits for the thread to end; does nothing when none was started.
  void join();
  bool joinable() const;

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

// Starts `body` on a thread nobody waits for (see above). False when the system refuses one.
bool start_unwaited_thread(std::function<void()> body);

namespace thread_testing {
// Tests: after the next `after` thread starts, `count` starts of either kind fail as if the
// system refused them.
void refuse_thread_starts(int count, int after = 0);
}  // namespace thread_testing

namespace thread_detail {
// Platform files: true (and one refusal used up) when a test asked for this start to fail.
bool start_refused();
// Runs a thread body; an exception that escapes it ends the process, as for any thread.
void run_body(std::function<void()>& body) noexcept;
}  // namespace thread_detail

}  // namespace kx
