// The screen resolution a window is shown at, and its frame at a resolution. The functions
// that know a monitor's own resolution (Windows 10) are looked up at run time; before them
// every window has the system's resolution.
#pragma once

#include <windows.h>

namespace kx::win32 {

// The resolution of the monitor the window is on (the system's where unknown).
int window_dpi(HWND hwnd);

// The frame (caption, borders) a top-level window of these styles has around its client area
// at `dpi`: how far the window reaches beyond the client area on each side, as positive sizes.
RECT frame_at(DWORD style, DWORD ex_style, int dpi);

}  // namespace kx::win32
