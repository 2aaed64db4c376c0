#include "toolkit/loop_state.hpp"

#include "toolkit/toolkit.hpp"

namespace kx::tk {

LoopState& loop_state() {
  static LoopState s;
  return s;
}

bool terminated() {
  return loop_state().terminated;
}

int running_count() {
  return loop_state().running;
}

void set_message_filter(std::function<bool(void*)> filter) {
  loop_state().filter = std::move(filter);
}

void set_session_end(std::function<int()> routine) {
  loop_state().session_end = std::move(routine);
}

void set_idle_hook(std::function<void()> hook) {
  loop_state().idle = std::move(hook);
}

}  // namespace kx::tk
