// The program's long task as Windows sees it: the machine kept awake, the taskbar button's
// progress (the button belongs to the application window, which owns the forms).
#include "toolkit/toolkit.hpp"
#include "toolkit/win32/power_win32.hpp"
#include "toolkit/win32/taskbar_win32.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::tk {

namespace {

struct Task {
  TaskState state = TaskState::Idle;
  int position = 0;
  int max = 0;
};

Task& task() {
  static Task t;
  return t;
}

HWND button_window() {
  Window* app = application_window();
  return app != nullptr && app->alive() ? static_cast<win32::Win32Window*>(app)->hwnd() : nullptr;
}

win32::TaskbarState taskbar_state(TaskState s) {
  switch (s) {
    case TaskState::Busy:
      return win32::TaskbarState::Normal;
    case TaskState::Failed:
      return win32::TaskbarState::Error;
    default:
      return win32::TaskbarState::None;
  }
}

}  // namespace

void set_task_state(TaskState state) {
  Task& t = task();
  if (state == TaskState::Busy && t.state != TaskState::Busy) t.position = 0;
  t.state = state;
  win32::keep_awake(state == TaskState::Busy);
  win32::taskbar_progress(button_window(), taskbar_state(state), t.position, t.max);
}

void set_task_progress(int position, int max) {
  Task& t = task();
  t.position = position;
  t.max = max;
  if (t.state == TaskState::Busy)
    win32::taskbar_progress(button_window(), win32::TaskbarState::Normal, position, max);
}

}  // namespace kx::tk
