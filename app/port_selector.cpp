#include "app/port_selector.hpp"

#include <string_view>

#include "elements/serial/com_name.hpp"
#include "runtime/text_routines.hpp"

namespace kx {

namespace {

struct Key {
  std::string_view word;
  PortSelector::Kind kind;
};
constexpr Key kKeys[] = {{"serial=", PortSelector::Kind::Serial},
                         {"location=", PortSelector::Kind::Location},
                         {"usb=", PortSelector::Kind::Usb}};

char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view s) {
  std::string out;
  for (const char c : s) out += lower(c);
  return out;
}

bool hex_digits(std::string_view s, std::size_t min, std::size_t max) {
  if (s.size() < min || s.size() > max) return false;
  for (const char c : s)
    if (!((c >= '0' && c <= '9') || (lower(c) >= 'a' && lower(c) <= 'f'))) return false;
  return true;
}

// "1-1.2": a bus number, a dash, hub port numbers separated by dots.
bool is_hub_path(std::string_view s) {
  const std::size_t dash = s.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == s.size()) return false;
  bool digit_before = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      digit_before = true;
    } else if ((c == '.' && i > dash) || i == dash) {
      if (!digit_before) return false;
      digit_before = false;
    } else {
      return false;
    }
  }
  return digit_before;
}

// Two names of one port: equal, or the same COM number, or a /dev/serial link to it.
bool names(const std::string& name, const serial::PortIdentity& p) {
  if (name == p.name || (!p.by_id.empty() && name == p.by_id) ||
      (!p.by_path.empty() && name == p.by_path))
    return true;
  const int n = serial::com_port_number(name);
  return n != 0 && (n == serial::com_port_number(p.name) ||
                    n == serial::com_port_number(serial::tool_port_name(p)));
}

// "COM5 (serial A12345, location 1-1.2)": a candidate as a person tells it from the others.
std::string candidate(const serial::PortIdentity& p) {
  std::string marks;
  const auto mark = [&](const char* what, const std::string& value) {
    if (!value.empty()) marks += (marks.empty() ? "" : ", ") + std::string(what) + " " + value;
  };
  mark("serial", p.serial);
  mark("location", p.location);
  mark("interface", p.interface_number);
  return marks.empty() ? p.name : p.name + " (" + marks + ")";
}

}  // namespace

bool is_adapter_selector(const std::string& text) {
  for (const Key& k : kKeys)
    if (text.size() >= k.word.size() &&
        compare_text_nocase(std::string_view(text).substr(0, k.word.size()), k.word) == 0)
      return true;
  return false;
}

bool parse_port_selector(const std::string& text, PortSelector& out, std::string& problem) {
  out = PortSelector{};
  out.text = text;
  out.value = text;
  for (const Key& k : kKeys) {
    if (text.size() < k.word.size() ||
        compare_text_nocase(std::string_view(text).substr(0, k.word.size()), k.word) != 0)
      continue;
    out.kind = k.kind;
    std::string value = text.substr(k.word.size());
    if (k.kind == PortSelector::Kind::Usb) {
      const std::size_t colon = value.find(':');
      if (colon != 4 || !hex_digits(std::string_view(value).substr(0, 4), 4, 4) ||
          !hex_digits(std::string_view(value).substr(5), 4, 4)) {
        problem = "not a USB vendor and product (usb=0403:6001): " + text;
        return false;
      }
      value = lowered(value);
    } else if (k.kind == PortSelector::Kind::Location) {
      const std::size_t colon = value.find(':');
      if (colon != std::string::npos) {
        const std::string number = value.substr(colon + 1);
        if (!hex_digits(number, 1, 2)) {
          problem = "not an interface number (location=1-1.2:01): " + text;
          return false;
        }
        out.interface_number = lowered(number.size() == 1 ? "0" + number : number);
        value.resize(colon);
      }
      if (!is_hub_path(value)) {
        problem = "not a hub location (location=1-1.2): " + text;
        return false;
      }
    } else if (value.empty()) {
      problem = "an empty serial number: " + text;
      return false;
    }
    out.value = value;
    return true;
  }
  if (text.empty()) {
    problem = "an empty port name";
    return false;
  }
  return true;
}

bool selects(const PortSelector& s, const serial::PortIdentity& p) {
  switch (s.kind) {
    case PortSelector::Kind::Name:
      return names(s.value, p);
    case PortSelector::Kind::Serial:
      // Windows writes a serial number in capitals in the device's ID.
      return !p.serial.empty() && compare_text_nocase(p.serial, s.value) == 0;
    case PortSelector::Kind::Location:
      return !p.location.empty() && p.location == s.value &&
             (s.interface_number.empty() || s.interface_number == p.interface_number);
    case PortSelector::Kind::Usb:
      return is_usb(p) && p.vid + ":" + p.pid == s.value;
  }
  return false;
}

std::string adapter_words(const serial::PortIdentity& p) {
  if (!is_usb(p)) return {};
  std::string words = p.vid + ":" + p.pid;
  if (!p.serial.empty()) words += ", serial " + p.serial;
  if (!p.location.empty()) words += ", location " + p.location;
  if (!p.interface_number.empty()) words += ", interface " + p.interface_number;
  return words;
}

ChosenPort resolve_port(const std::string& entry, const std::vector<serial::PortIdentity>& ports) {
  ChosenPort c;
  if (!parse_port_selector(entry, c.selector, c.problem)) return c;
  std::vector<const serial::PortIdentity*> matches;
  for (const serial::PortIdentity& p : ports)
    if (selects(c.selector, p)) matches.push_back(&p);
  if (c.selector.kind == PortSelector::Kind::Name && matches.empty()) {
    // A name not listed (a port the system does not show with its device) stands for itself;
    // its open says whether it is there.
    c.port.name = entry;
    c.found = true;
  } else if (matches.size() == 1) {
    c.port = *matches.front();
    c.found = true;
  } else if (matches.empty()) {
    c.problem = "no port matches " + entry;
  } else {
    c.problem = std::to_string(matches.size()) + " ports match " + entry + ":";
    for (std::size_t i = 0; i < matches.size(); ++i)
      c.problem += (i == 0 ? " " : ", ") + candidate(*matches[i]);
  }
  return c;
}

std::vector<ChosenPort> resolve_ports(const std::vector<std::string>& entries,
                                      const std::vector<serial::PortIdentity>& ports,
                                      std::string& problem) {
  problem.clear();
  std::vector<ChosenPort> chosen;
  for (const std::string& entry : entries) {
    ChosenPort c = resolve_port(entry, ports);
    for (const ChosenPort& before : chosen) {
      if (!c.found || !before.found || !problem.empty()) continue;
      if (names(c.port.name, before.port) || names(before.port.name, c.port))
        problem = before.selector.text + " and " + entry + " both name the port " + c.port.name;
    }
    chosen.push_back(std::move(c));
  }
  return chosen;
}

}  // namespace kx
