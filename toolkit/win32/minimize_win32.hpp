// Minimising and restoring through the hidden application window. The forms are owned by it,
// so it is the one with the taskbar button: minimising a form minimises the application
// window to that button (the forms hide), and restoring it from the button shows them again.
#pragma once

#include <windows.h>

namespace kx::win32 {

class Win32Window;

// Offered every message of a form or the application window first; true when it dealt with
// the message, whose result is then in `result`.
bool minimize_message(Win32Window& window, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp,
                      LRESULT& result);

}  // namespace kx::win32
