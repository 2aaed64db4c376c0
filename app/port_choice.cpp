#include "app/port_choice.hpp"

namespace kx {

RunPort choose_run_port(const std::string& entry) {
  RunPort r;
  r.chosen = resolve_port(entry, serial::list_port_identities());
  if (!r.chosen.found) return r;
  const bool by_adapter = r.chosen.selector.kind != PortSelector::Kind::Name;
  r.selector = by_adapter ? entry : std::string();
  r.adapter = adapter_words(r.chosen.port);
  r.open_name = by_adapter ? serial::tool_port_name(r.chosen.port) : entry;
  if (r.open_name.empty()) {
    r.chosen.found = false;
    r.chosen.problem = entry + " names " + r.chosen.port.name + ", which has no port name (COMn)";
  }
  return r;
}

std::string adapter_change(const serial::PortIdentity& expected) {
  const std::string was = adapter_words(expected);
  for (const serial::PortIdentity& now : serial::list_port_identities()) {
    if (now.name != expected.name) continue;
    if (serial::same_adapter(now, expected)) return {};
    const std::string words = adapter_words(now);
    return "the adapter on " + expected.name + " changed since the listing: was " + was + ", now " +
           (words.empty() ? "no USB device" : words);
  }
  return "the adapter on " + expected.name + " (" + was + ") is gone since the listing";
}

bool has_adapter_selector(const std::vector<std::string>& entries) {
  for (const std::string& e : entries)
    if (is_adapter_selector(e)) return true;
  return false;
}

}  // namespace kx
