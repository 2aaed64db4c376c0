// The POSIX port table: which device path stands behind a COM name.
//
// By default it holds the system's serial devices under fixed names: /dev/ttyS<n> as
// COM<n+1>, /dev/ttyUSB<n> as COM<n+101>, /dev/ttyACM<n> as COM<n+151>, so a name does not
// change when another adapter is plugged in. Once any port is registered, the table holds only
// the registered ports (tests map "COM7" to a pseudo-terminal) until they are cleared.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kx {

void register_port(std::string com_name, std::string device_path);
void clear_registered_ports();

namespace serial {

// The table in port-number order: {COM name, device path}.
std::vector<std::pair<std::string, std::string>> port_table();
// The device path for a COM name (letter case ignored); empty when there is none.
std::string device_for(const std::string& com_name);

}  // namespace serial
}  // namespace kx
