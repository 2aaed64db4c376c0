// The port of an unattended run, chosen from what the command line wrote (a name or a selector,
// app/port_selector.hpp) against the ports there are at the run's start, and checked again just
// before the port is opened.
#pragma once

#include <string>
#include <vector>

#include "app/port_selector.hpp"

namespace kx {

struct RunPort {
  ChosenPort chosen;      // the entry resolved; chosen.found false: no device, nothing opened
  std::string open_name;  // the port's name as the port list shows it ("COM5")
  std::string selector;   // the entry when it names the adapter, else empty
  std::string adapter;    // adapter_words() of the port: empty when no USB device is known
};

// Resolves `entry` against the ports listed now.
RunPort choose_run_port(const std::string& entry);

// "" while the port named `expected.name` still has the adapter `expected` describes; else why
// not ("the adapter on COM5 changed since the listing: ..."), from a fresh list.
std::string adapter_change(const serial::PortIdentity& expected);

// True when one of the entries names an adapter.
bool has_adapter_selector(const std::vector<std::string>& entries);

}  // namespace kx
