// Ports named by the adapter behind them rather than by the name the system handed out:
// "serial=A12345" (the adapter's serial number), "location=1-1.2" (its hub socket; ":01" after it
// names one interface of a multi-interface adapter), "usb=0403:6001" (vendor and product). Any
// other text names a port ("COM5", "/dev/ttyUSB0", a /dev/serial link). A selector stands for a
// port only when exactly one port matches it.
#pragma once

#include <string>
#include <vector>

#include "elements/serial/port_identity.hpp"

namespace kx {

struct PortSelector {
  enum class Kind { Name, Serial, Location, Usb };
  Kind kind = Kind::Name;
  std::string text;              // as written
  std::string value;             // the name, serial number, hub path, or "vvvv:pppp"
  std::string interface_number;  // location only: "01" of "location=1-1.2:01"; empty: any
};

// True when the text begins with a selector's key ("serial=", "location=", "usb=", any case).
bool is_adapter_selector(const std::string& text);

// The selector the text writes; false, with `problem` saying why, for a key with an empty or
// malformed value.
bool parse_port_selector(const std::string& text, PortSelector& out, std::string& problem);

// True when the port is the one the selector names.
bool selects(const PortSelector& s, const serial::PortIdentity& p);

// The adapter in words: "0403:6001, serial A12345B, location 1-1.2, interface 01"; empty for a
// port with no USB device behind it.
std::string adapter_words(const serial::PortIdentity& p);

// One entry of a command line's port list, resolved against the ports there are.
struct ChosenPort {
  PortSelector selector;
  bool found = false;         // exactly one port matches (a name always stands for itself)
  serial::PortIdentity port;  // that port: its identity as listed (a name not listed: the name)
  std::string problem;        // not found: "2 ports match usb=0403:6001: COM5 (serial A1), ..."
};

ChosenPort resolve_port(const std::string& entry, const std::vector<serial::PortIdentity>& ports);

// Every entry resolved; `problem` names two entries that stand for one port (a bad command
// line), else it is empty.
std::vector<ChosenPort> resolve_ports(const std::vector<std::string>& entries,
                                      const std::vector<serial::PortIdentity>& ports,
                                      std::string& problem);

}  // namespace kx
