#include "toolkit/win32/minimize_win32.hpp"

#include <vector>

#include "toolkit/win32/win32_window.hpp"

namespace kx::win32 {

namespace {

// The forms hidden by the last minimise, shown again by the restore.
std::vector<HWND>& hidden_forms() {
  static std::vector<HWND> forms;
  return forms;
}

HWND application_hwnd() {
  const State& st = state();
  return st.application && st.application->alive() ? st.application->hwnd() : nullptr;
}

void minimize_application(HWND app) {
  for (Win32Window* w : state().windows) {
    if (w->kind() != tk::Kind::Form || !w->alive() || !IsWindowVisible(w->hwnd())) continue;
    hidden_forms().push_back(w->hwnd());
    ShowWindow(w->hwnd(), SW_HIDE);
  }
  ShowWindow(app, SW_MINIMIZE);
}

void show_hidden_forms() {
  std::vector<HWND> forms;
  forms.swap(hidden_forms());
  for (HWND f : forms)
    if (IsWindow(f)) ShowWindow(f, SW_SHOW);
  // The main form takes the activation back from the application window.
  const Win32Window* main = state().main_form;
  if (main != nullptr && main->alive() && IsWindowVisible(main->hwnd()))
    SetForegroundWindow(main->hwnd());
}

bool is_command(UINT msg, WPARAM wp, WPARAM command) {
  return msg == WM_SYSCOMMAND && (wp & 0xFFF0) == command;
}

}  // namespace

bool form_minimize_message(UINT msg, WPARAM wp) {
  HWND app = application_hwnd();
  if (app == nullptr) return false;
  if (is_command(msg, wp, SC_MINIMIZE)) {
    minimize_application(app);
    return true;
  }
  if (is_command(msg, wp, SC_RESTORE) && IsIconic(app)) {
    ShowWindow(app, SW_RESTORE);
    show_hidden_forms();
    return true;
  }
  return false;
}

bool application_minimize_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  HWND app = application_hwnd();
  if (app == nullptr || hwnd != app) return false;
  result = 0;
  if (is_command(msg, wp, SC_MINIMIZE)) {
    minimize_application(app);
    return true;
  }
  if (is_command(msg, wp, SC_RESTORE)) {
    // The taskbar button (or Alt+Tab) restores the application window.
    result = DefWindowProcW(hwnd, msg, wp, lp);
    show_hidden_forms();
    return true;
  }
  if (msg == WM_SIZE && wp == SIZE_RESTORED && !hidden_forms().empty()) {
    // Restored some other way.
    show_hidden_forms();
    return false;
  }
  return false;
}

}  // namespace kx::win32
