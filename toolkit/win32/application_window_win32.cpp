// The hidden application window: the owner of the forms and so the one with the taskbar
// button, the window the tasks of other threads are handed to, and the one that hears of
// serial ports arriving and going.
#include <windows.h>

#include <string>

#include "toolkit/win32/classes_win32.hpp"
#include "toolkit/win32/device_change_win32.hpp"
#include "toolkit/win32/minimize_win32.hpp"
#include "toolkit/win32/text_win32.hpp"
#include "toolkit/win32/window_kinds_win32.hpp"

namespace kx::win32 {

ApplicationWindow::ApplicationWindow(const tk::CreateOptions& options) : TopWindow(options) {
  // Without a frame and of no size; the system menu and minimise box let the taskbar
  // minimise and restore it.
  CreateWindowExW(0, kApplicationClass, to_wide(options.text).c_str(),
                  WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, nullptr, nullptr, instance(),
                  static_cast<Win32Window*>(this));
}

LRESULT ApplicationWindow::on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (application_minimize_message(hwnd, msg, wp, lp, result)) return result;
  if (device_change_message(msg, wp, lp)) return TRUE;
  if (msg == kTaskMessage) {
    state().tasks.run_pending();
    return 0;
  }
  return TopWindow::on_message(hwnd, msg, wp, lp);
}

}  // namespace kx::win32
