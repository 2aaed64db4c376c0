#include "runtime/threads.hpp"

#include <atomic>

namespace kx {

namespace {
std::atomic<int> g_refusals{0};
}

namespace thread_testing {
void refuse_thread_starts(int count) {
  g_refusals.store(count);
}
}  // namespace thread_testing

namespace thread_detail {
bool start_refused() {
  int left = g_refusals.load();
  while (left > 0) {
    if (g_refusals.compare_exchange_weak(left, left - 1)) return true;
  }
  return false;
}

void run_body(std::function<void()>& body) noexcept {
  body();
  body = nullptr;  // what it captured goes on this thread, before the thread counts as ended
}
}  // namespace thread_detail

}  // namespace kx
