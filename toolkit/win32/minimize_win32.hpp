// Minimising and restoring through the hidden application window. The forms are owned by it,
// so it is the one with the taskbar button: minimising a form minimises the application
// window to that button (the forms hide), and restoring it from the button shows them again.
#pragma once

#include <windows.h>

namespace kx::win32 {

// Offered every message of a form first; true when it dealt with the message (the result is 0).
bool form_minimize_message(UINT msg, WPARAM wp);

// Offered every message of the application window first; true when it dealt with the message,
// whose result is then in `result`.
bool application_minimize_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

}  // namespace kx::win32
