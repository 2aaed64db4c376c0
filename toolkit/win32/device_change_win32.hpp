// The system's notice that a serial port arrived or went (WM_DEVICECHANGE, broadcast to every
// top-level window: the application window takes it for the program and reports it to
// runtime/device_change.hpp).
#pragma once

#include <windows.h>

namespace kx::win32 {

// True when the message was a port's arrival or removal; it has then been reported.
bool device_change_message(UINT msg, WPARAM wp, LPARAM lp);

}  // namespace kx::win32
