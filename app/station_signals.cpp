#include "app/station_signals.hpp"

#include <signal.h>

#include <ctime>

namespace kx {

namespace {

sigset_t stop_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

void SignalWatch::block_stop_signals() {
  const sigset_t set = stop_signals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalWatch::SignalWatch(std::function<void(int)> on_signal) : on_signal_(std::move(on_signal)) {
  const bool started = thread_.start([this] {
    const sigset_t set = stop_signals();
    // Short waits: the stop flag is looked at between them.
    const timespec tick{0, 50 * 1000 * 1000};
    while (!stop_.load()) {
      const int signo = sigtimedwait(&set, nullptr, &tick);
      if (signo <= 0) continue;
      int none = 0;
      first_.compare_exchange_strong(none, signo);
      on_signal_(signo);
    }
  });
  if (!started) {
    // Nobody would take them: blocked, Ctrl-C would do nothing at all.
    const sigset_t set = stop_signals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  }
}

SignalWatch::~SignalWatch() {
  stop_.store(true);
  thread_.join();
}

const char* signal_name(int signo) {
  if (signo == SIGINT) return "SIGINT";
  if (signo == SIGTERM) return "SIGTERM";
  return "a signal";
}

}  // namespace kx
