// Which adapter stands behind a serial port: its USB identity and its place. One back-end per
// platform (port_identity_udev.cpp: the udev database; port_identity_win32.cpp: the device
// manager's "Ports" class); empty fields where the system gives nothing (a built-in port, a
// pseudo-terminal, a port without a USB device behind it).
#pragma once

#include <string>
#include <vector>

namespace kx::serial {

struct PortIdentity {
  std::string name;              // the port as the tool opens it: "COM5", "/dev/ttyUSB0"
  std::string description;       // the system's words for the device
  std::string vid, pid;          // USB vendor and product, four lower-case hexadecimal digits each
  std::string serial;            // the adapter's own serial number (never one the system made up)
  std::string location;          // the hub path of the USB device: bus, then hub ports ("1-1.2")
  std::string interface_number;  // "00", "01": the port's interface on a multi-interface adapter
  std::string by_id, by_path;    // POSIX: the /dev/serial/by-id and by-path links to the port
};

// True when the port has a USB device behind it.
inline bool is_usb(const PortIdentity& p) {
  return !p.vid.empty();
}

// True when both name one adapter in one place: IDs, serial number, location and interface.
inline bool same_adapter(const PortIdentity& a, const PortIdentity& b) {
  return a.vid == b.vid && a.pid == b.pid && a.serial == b.serial && a.location == b.location &&
         a.interface_number == b.interface_number;
}

// The serial ports there are now, with what the system tells of each, in the system's order.
std::vector<PortIdentity> list_port_identities();

// The port's COM name in the port table ("COM5"; POSIX: the fixed name of its device path);
// empty when the table has none for it.
std::string tool_port_name(const PortIdentity& p);

}  // namespace kx::serial
