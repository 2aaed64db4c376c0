// Serial port names: "COM" (any case) followed by the port number.
#pragma once

#include <string_view>

namespace kx::serial {

// The port number 1..255 a name gives, or 0 for a name that is no port: at most six
// characters, "COM" in any case, then the number (read up to the first non-digit).
int com_port_number(std::string_view name);

}  // namespace kx::serial
