#include "app/port_list.hpp"

#include <algorithm>

#include "app/command_line.hpp"

namespace kx {

namespace {

int number_of(const std::string& port) {
  return std::stoi(port.substr(3));
}

}  // namespace

bool parse_port_list(const std::string& value, std::vector<std::string>& ports,
                     std::string& problem) {
  ports.clear();
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = value.find(',', from);
    const std::string name =
        value.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    if (name.empty()) {
      problem = "an empty port name in the list: " + value;
      return false;
    }
    if (!is_port_name(name)) {
      problem = "not a port name (COM1 to COM255): " + name;
      return false;
    }
    if (std::any_of(ports.begin(), ports.end(),
                    [&](const std::string& p) { return number_of(p) == number_of(name); })) {
      problem = "a port is given twice: " + name;
      return false;
    }
    if (ports.size() == kMaxLinePorts) {
      problem = "more than " + std::to_string(kMaxLinePorts) + " ports: " + value;
      return false;
    }
    ports.push_back(name);
    if (comma == std::string::npos) return true;
    from = comma + 1;
  }
}

}  // namespace kx
