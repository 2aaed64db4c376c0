// The identity a Windows device manager gives a USB serial port, read from its strings:
// the device instance ID ("USB\VID_0403&PID_6001\A12345B",
// "FTDIBUS\VID_0403+PID_6001+A12345BA\0000", "USB\VID_0403&PID_6010&MI_01\7&1B2C3D&0&0001") and the
// location paths
// ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(2)"). Plain text work, the same on every
// platform, so that the recorded strings are checked natively.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "elements/serial/port_identity.hpp"

namespace kx::serial {

struct InstanceId {
  std::string bus;  // the enumerator, upper case: "USB", "FTDIBUS", "ACPI", ...
  std::string vid;  // four lower-case hexadecimal digits; empty when the ID names none
  std::string pid;
  std::string serial;  // the device's serial number; empty for one the system made up ('&')
  std::string interface_number;  // "MI_01": "01"; empty when the ID names no interface
  char channel = 0;  // FTDIBUS: the last letter of the serial part ('A', 'B', ...), else 0
};

InstanceId parse_instance_id(std::string_view id);

// The hub path of the first location path that runs through a USB root hub: "USBROOT(0)" is bus
// 1, each "USB(n)" a hub port: "1-1.2". A trailing "USBMI(n)" (a function of a composite
// device) goes to `interface_number` as two hexadecimal digits. Empty when no path is a USB one.
std::string hub_location(const std::vector<std::string>& paths,
                         std::string* interface_number = nullptr);

// One device of the device manager's tree: its instance ID and location paths.
struct DeviceNode {
  std::string instance_id;
  std::vector<std::string> location_paths;
};

// The USB identity of a port from its device (`chain` front) and the devices above it, nearest
// first: IDs from the port's own ID; the serial number from the USB device itself where the
// port is a function of it (a composite device's "MI_xx", an FTDI channel); the location from
// the nearest device that has a USB one. FTDI's multi-channel chips name the channel's
// interface. Fields stay as they are when the port's ID names no USB device.
void usb_identity(const std::vector<DeviceNode>& chain, PortIdentity& p);

// The strings of a REG_MULTI_SZ value (each ended by a zero byte, the list by one more).
std::vector<std::string> multi_strings(std::string_view bytes);

}  // namespace kx::serial
