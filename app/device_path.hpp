// Paths that name a device rather than a file on a disk.
#pragma once

#include <string>

namespace kx {

// True for a path the system takes as a device: one under "\\.\" (or "//./"), or one whose
// last part, before its first dot and without trailing blanks, is CON, PRN, AUX, NUL,
// CONIN$, CONOUT$, COM1 to COM9 or LPT1 to LPT9 in any letter case ("COM5.log" opens the port
// COM5 on many Windows versions).
bool names_a_device(const std::string& path);

}  // namespace kx
