// The port list with identity ("/list", "--list"): per port its name, the adapter's USB IDs,
// serial number, location and interface, the system's description and (POSIX) the
// /dev/serial links; as a table for a person or as JSON lines for a program, e.g.
// {"port":"/dev/ttyUSB0","description":"FT232R USB UART","vid":"0403","pid":"6001",
//  "serial":"A12345B","location":"1-1.2","interface":"","by_id":"/dev/serial/by-id/...",
//  "by_path":"/dev/serial/by-path/..."} (one line). Fields the system does not give are empty.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "elements/serial/port_identity.hpp"

namespace kx {

class LogFile;

// The list as text, every line ended by `eol`: a table (a dash where a field is empty; the
// links on lines of their own below their port), or one JSON object per line.
std::string port_list_text(const std::vector<serial::PortIdentity>& ports, bool json,
                           std::string_view eol);

// One port as a JSON object (no line end).
std::string port_json(const serial::PortIdentity& p);

// Lists the ports there are now to `out`; returns the exit code (0).
int list_ports(bool json, LogFile& out, std::string_view eol);

}  // namespace kx
