// The station's ports before anything is opened for good: the device behind each path given,
// a look at whether this program may have it, and what to tell the operator when not.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "elements/serial/port_identity.hpp"

namespace kx {

struct StationPort {
  StationPort(std::string name_given = {}, std::string device_found = {})
      : name(std::move(name_given)), device(std::move(device_found)) {}
  std::string name;    // as given: a device path or a link (/dev/serial/by-id/...)
  std::string device;  // the device it resolves to now (the name itself when it resolves to none)
  // A name that is a selector (app/port_selector.hpp: "serial=A12345") stands for the one port
  // it matches, with that port's adapter as listed; none or several: why, and nothing is opened.
  std::string selector;
  serial::PortIdentity adapter;
  std::string unresolved;
};

// Resolves every name (links followed; a selector against the ports listed now). "" and the
// ports, or a bad command line's problem when two names lead to one device.
std::string resolve_ports(const std::vector<std::string>& names, std::vector<StationPort>& ports);

// A short tag of the device for file names: "/dev/ttyUSB0" gives "ttyUSB0", "/dev/pts/3"
// gives "pts-3".
std::string device_tag(const std::string& device);

// How the port's name reads in a record and a log: the name, and the device when it differs
// ("/dev/serial/by-id/usb-...-port0 (/dev/ttyUSB0)").
std::string both_names(const StationPort& port);

// Opens the device, claims it as the update would (serial::trial_open, port_claim_posix.hpp) and
// lets it go again. "" when it can be had; else the reason, one line, beginning "port busy: "
// for a port another program holds and "permission denied: " for one this user may not open.
std::string port_refusal(const StationPort& port);

// For a refusal of port_refusal: what the operator can do about it (lines ending with "\n");
// "" when there is nothing to add.
std::string refusal_hint(const std::string& refusal);

// Whether a process named ModemManager runs (its name in /proc/<pid>/comm).
bool modem_manager_runs();

// What to say once when it runs (lines ending with "\n").
std::string modem_manager_note();

}  // namespace kx
