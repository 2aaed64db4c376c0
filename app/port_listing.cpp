#include "app/port_listing.hpp"

#include <algorithm>
#include <array>

#include "app/escape.hpp"
#include "app/log_file.hpp"

namespace kx {

std::string port_json(const serial::PortIdentity& p) {
  return "{\"port\":" + json_string(p.name) + ",\"description\":" + json_string(p.description) +
         ",\"vid\":" + json_string(p.vid) + ",\"pid\":" + json_string(p.pid) +
         ",\"serial\":" + json_string(p.serial) + ",\"location\":" + json_string(p.location) +
         ",\"interface\":" + json_string(p.interface_number) +
         ",\"by_id\":" + json_string(p.by_id) + ",\"by_path\":" + json_string(p.by_path) + "}";
}

std::string port_list_text(const std::vector<serial::PortIdentity>& ports, bool json,
                           std::string_view eol) {
  std::string text;
  if (json) {
    for (const serial::PortIdentity& p : ports) text += port_json(p) + std::string(eol);
    return text;
  }
  if (ports.empty()) return "no serial ports" + std::string(eol);
  constexpr std::size_t kColumns = 6;
  using Row = std::array<std::string, kColumns>;
  std::vector<Row> rows = {{"PORT", "USB", "SERIAL", "LOCATION", "IF", "DESCRIPTION"}};
  const auto shown = [](const std::string& s) {
    return s.empty() ? std::string("-") : printable(s);
  };
  for (const serial::PortIdentity& p : ports)
    rows.push_back({printable(p.name), serial::is_usb(p) ? p.vid + ":" + p.pid : "-",
                    shown(p.serial), shown(p.location), shown(p.interface_number),
                    shown(p.description)});
  std::array<std::size_t, kColumns> width{};
  for (const Row& r : rows)
    for (std::size_t c = 0; c < kColumns; ++c) width[c] = std::max(width[c], r[c].size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::string line;
    for (std::size_t c = 0; c < kColumns; ++c) {
      line += rows[i][c];
      if (c + 1 < kColumns) line += std::string(width[c] - rows[i][c].size() + 2, ' ');
    }
    text += line + std::string(eol);
    if (i == 0) continue;
    const serial::PortIdentity& p = ports[i - 1];
    const std::string indent(width[0] + 2, ' ');
    if (!p.by_id.empty()) text += indent + "by-id   " + printable(p.by_id) + std::string(eol);
    if (!p.by_path.empty()) text += indent + "by-path " + printable(p.by_path) + std::string(eol);
  }
  return text;
}

int list_ports(bool json, LogFile& out, std::string_view eol) {
  out.append(port_list_text(serial::list_port_identities(), json, eol));
  return 0;
}

}  // namespace kx
