#include "app/port_list.hpp"

#include <algorithm>

#include "app/command_line.hpp"
#include "app/port_selector.hpp"
#include "runtime/text_routines.hpp"

namespace kx {

namespace {

// Two entries that are one: COM names of one number, or selectors written alike (any case).
bool same_entry(const std::string& a, const std::string& b) {
  if (is_port_name(a) && is_port_name(b)) return std::stoi(a.substr(3)) == std::stoi(b.substr(3));
  return compare_text_nocase(a, b) == 0;
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
    PortSelector selector;
    if (is_adapter_selector(name)) {
      if (!parse_port_selector(name, selector, problem)) return false;
    } else if (!is_port_name(name)) {
      problem = "not a port name (COM1 to COM255) or selector (serial=, location=, usb=): " + name;
      return false;
    }
    if (std::any_of(ports.begin(), ports.end(),
                    [&](const std::string& p) { return same_entry(p, name); })) {
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
