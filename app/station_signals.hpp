// Ctrl-C on the station: SIGINT and SIGTERM are blocked in every thread of the program and
// taken by one thread of their own, which hands each over as a call; the station looks at what
// came between steps of the element thread (close the port, record the run as interrupted, end).
#pragma once

#include <atomic>
#include <functional>

#include "runtime/pinned.hpp"
#include "runtime/threads.hpp"

namespace kx {

class SignalWatch : Pinned {
 public:
  // Blocks SIGINT and SIGTERM in the calling thread and so in every thread it starts later:
  // call it before the first thread starts. Processes started later inherit the block (the
  // station's own children take the signals with a watch of their own).
  static void block_stop_signals();

  // Starts the watching thread; `on_signal` runs on it for every SIGINT or SIGTERM taken. When
  // the system refuses the thread, both signals are unblocked again and end the program as
  // they ordinarily do.
  explicit SignalWatch(std::function<void(int)> on_signal);
  ~SignalWatch();  // stops and joins the thread

  // The first signal taken; 0 while none came.
  int first() const { return first_.load(); }

 private:
  std::function<void(int)> on_signal_;
  std::atomic<bool> stop_{false};
  std::atomic<int> first_{0};
  JoinedThread thread_;
};

// "SIGINT", "SIGTERM", else "a signal".
const char* signal_name(int signo);

}  // namespace kx
