// The ports of an unattended run: "COM5" or a list "COM3,COM5,COM7".
#pragma once

#include <string>
#include <vector>

namespace kx {

// The most devices one command updates at once.
inline constexpr std::size_t kMaxLinePorts = 16;

// Splits `value` at commas into port names (each as the port list accepts it: "COM" and a
// number 1..255). False, with `problem` saying why, for an empty item, a name that is no port,
// a port given twice (COM5 and com5 are one port) or more than kMaxLinePorts ports.
bool parse_port_list(const std::string& value, std::vector<std::string>& ports,
                     std::string& problem);

}  // namespace kx
