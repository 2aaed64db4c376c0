// The Win32 toolkit's message loop with its quit flag, filter and idle hook, the global state,
// and the wake-up of the window thread for tasks handed over by other threads.
#include <windows.h>

#include "toolkit/loop_state.hpp"
#include "toolkit/win32/text_win32.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::win32 {

// ---- state ----

State& state() {
  static State s;
  return s;
}

bool on_window_thread() {
  const DWORD t = state().window_thread;
  return t == 0 || t == GetCurrentThreadId();
}

namespace {

// How long the loop waits with nothing in its queue before it looks for tasks whose wake-up was
// lost.
constexpr DWORD kQuietRecheckMs = 250;

// Tab and Shift+Tab in a form that navigates by tab order.
bool tab_key(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) return false;
  Win32Window* w = Win32Window::from_hwnd(msg.hwnd);
  if (w == nullptr) return false;
  Win32Window* form = w->kind() == tk::Kind::Form ? w : static_cast<Win32Window*>(w->parent());
  if (form == nullptr || form->kind() != tk::Kind::Form || !form->tab_navigation()) return false;
  form->move_focus(GetKeyState(VK_SHIFT) < 0);
  return true;
}

}  // namespace

}  // namespace kx::win32

namespace kx::tk {

using win32::state;

void free_application_window() {
  win32::State& st = state();
  if (!st.application) return;
  st.tasks.disconnect_wake();
  if (element_thread() == &st.tasks) set_element_thread(nullptr);
  // Destroying the application window destroys the forms it owns and their controls.
  st.application.reset();
  st.main_form = nullptr;
  st.tasks.clear();
}

Window* application_window() {
  return state().application.get();
}

Window& create_application_window() {
  auto& st = state();
  if (!st.application) {
    st.window_thread = GetCurrentThreadId();
    // Tasks handed over while the window is being made (a slow first start) wait for it.
    set_element_thread(&st.tasks);
    st.make_application();
    HWND app = st.application->hwnd();
    st.tasks.connect_wake([app] { return PostMessageW(app, win32::kTaskMessage, 0, 0) != FALSE; });
  }
  return *st.application;
}

void run_message_loop() {
  auto& st = state();
  auto& loop = loop_state();
  loop.running = 1;
  if (!st.application) create_application_window();
  while (!loop.terminated) {
    // Everything queued, then the idle hook, then wait for the next message. (Processing
    // before the first wait keeps messages queued before the loop from waiting for another.)
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        loop.terminated = true;
        break;
      }
      if (loop.filter && loop.filter(&msg)) continue;
      if (win32::tab_key(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (loop.idle) loop.idle();
    st.tasks.rewake();  // a wake-up the system refused (a full message queue) is asked again
    if (loop.terminated) break;
    // Any message, or a quiet while: then a task's wake-up that never arrived is asked again.
    if (MsgWaitForMultipleObjectsEx(0, nullptr, win32::kQuietRecheckMs, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE) == WAIT_TIMEOUT)
      st.tasks.recover();
  }
  loop.running = 0;
  free_application_window();
}

void quit() {
  auto& st = state();
  if (win32::on_window_thread()) {
    PostQuitMessage(0);
  } else {
    PostThreadMessageW(st.window_thread, WM_QUIT, 0, 0);
  }
}

void message_box(std::string_view caption, std::string_view text) {
  MessageBoxW(nullptr, win32::to_wide(text).c_str(), win32::to_wide(caption).c_str(), MB_OK);
}

}  // namespace kx::tk
