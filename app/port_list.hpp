// The ports of an unattended run: "COM5" or a list "COM3,COM5,COM7"; an entry may name the
// adapter instead (app/port_selector.hpp: "serial=A12345", "location=1-1.2", "usb=0403:6001").
#pragma once

#include <string>
#include <vector>

namespace kx {

// The most devices one command updates at once.
inline constexpr std::size_t kMaxLinePorts = 16;

// Splits `value` at commas into port names (each as the port list accepts it: "COM" and a
// number 1..255) and selectors. False, with `problem` saying why, for an empty item, a name that
// is no port, a malformed selector, an entry given twice (COM5 and com5 are one port) or more
// than kMaxLinePorts ports.
bool parse_port_list(const std::string& value, std::vector<std::string>& ports,
                     std::string& problem);

}  // namespace kx
