#include "runtime/threads.hpp"

#include <atomic>

namespace kx {

namespace {
std::atomic<int> g_spared{0};  // starts that go ahead before the refusals
std::atomic<int> g_refusals{0};

bool take_one(std::atomic<int>& counter) {
  int left = counter.load();
  while (left > 0) {
    if (counter.compare_exchange_weak(left, left - 1)) return true;
  }
  return false;
}
}  // namespace

namespace thread_testing {
void refuse_thread_starts(int count, int after) {
  g_refusals.store(count);
  g_spared.store(after);
}
}  // namespace thread_testing

namespace thread_detail {
bool start_refused() {
  if (take_one(g_spared)) return false;
  return take_one(g_refusals);
}

void run_body(std::function<void()>& body) noexcept {
  body();
  body = nullptr;  // what it captured goes on this thread, before the thread counts as ended
}
}  // namespace thread_detail

}  // namespace kx
