// The progress shown on a window's taskbar button (ITaskbarList3, Windows 7 and later).
#pragma once

#include <windows.h>

namespace kx::win32 {

enum class TaskbarState { None, Normal, Error };

// Sets the state and, with a non-zero max, the value of the button of `button_window`.
// Nothing happens where the interface is missing.
void taskbar_progress(HWND button_window, TaskbarState state, int position, int max);

}  // namespace kx::win32
