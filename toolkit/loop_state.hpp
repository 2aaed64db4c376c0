// The state of the message loop, the same for every toolkit: the terminated flag, the running
// count, the message filter and the idle hook (tk::terminated(), tk::running_count(),
// tk::set_message_filter(), tk::set_idle_hook() read and set it). Window thread only.
#pragma once

#include <functional>

namespace kx::tk {

struct LoopState {
  bool terminated = false;
  int running = 0;
  std::function<bool(void*)> filter;
  std::function<void()> idle;
  std::function<int()> session_end;  // see tk::set_session_end

  // The exit code when the session ends: what the routine says, else 0.
  int session_end_code() const { return session_end ? session_end() : 0; }

  // The session ends: the loop counts as over, at once.
  void end_now() {
    running = 0;
    terminated = true;
  }
};

LoopState& loop_state();

// Frees the application window (each toolkit its own): every form it owns, and their controls,
// goes with it.
void free_application_window();

}  // namespace kx::tk
