// Keeping the machine awake while the program works on something that must not be cut off.
#pragma once

namespace kx::win32 {

// On: the system does not go to sleep for lack of input (the display may still go dark);
// off: the usual rules again. Holds for the calling thread (the window thread).
void keep_awake(bool on);

}  // namespace kx::win32
