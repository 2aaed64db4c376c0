// The long task without a system to tell: the state is kept for the tests to read.
#include "toolkit/headless/headless_window.hpp"
#include "toolkit/toolkit.hpp"

namespace kx::tk {

void set_task_state(TaskState s) {
  headless::State& st = headless::state();
  st.task_state = s;
  st.task_states.push_back(s);
}

void set_task_progress(int position, int max) {
  headless::State& st = headless::state();
  st.task_position = position;
  st.task_max = max;
}

}  // namespace kx::tk
