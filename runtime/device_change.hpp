// The system's notice that a serial port arrived or went (an adapter plugged in or pulled out).
// The platform's window toolkit reports it as the system delivers it; one listener in the
// program hears it. Both run on the window thread.
#pragma once

#include <functional>

namespace kx {

// The listener called on each notice; empty: nothing is called. One listener for the program.
void set_device_change_listener(std::function<void()> listener);

// A port arrived or went: runs the listener, if any.
void report_device_change();

}  // namespace kx
