// The identity of a Windows port from the device manager's strings, as recorded on Windows
// machines: instance IDs of USB, FTDI-bus and built-in ports, location paths, and a port's
// device with the devices above it.
#include <gtest/gtest.h>

#include "elements/serial/usb_device_id.hpp"

namespace kx::serial {
namespace {

TEST(UsbDeviceId, InstanceIdsGiveIdsSerialNumbersAndInterfaces) {
  struct Case {
    const char* id;
    const char* bus;
    const char* vid;
    const char* pid;
    const char* serial;
    const char* interface_number;
    char channel;
  };
  const Case cases[] = {
      {R"(USB\VID_0403&PID_6001\A12345B)", "USB", "0403", "6001", "A12345B", "", 0},
      {R"(USB\VID_10C4&PID_EA60\0001)", "USB", "10c4", "ea60", "0001", "", 0},
      // A device without a serial number: the system makes one up, with '&'.
      {R"(USB\VID_1A86&PID_7523\5&2C6E7D2E&0&2)", "USB", "1a86", "7523", "", "", 0},
      {R"(USB\VID_067B&PID_2303\6&3A1E3C2&0&1)", "USB", "067b", "2303", "", "", 0},
      // One function of a composite device.
      {R"(USB\VID_2341&PID_8036&MI_00\7&1B2C3D4E&0&0000)", "USB", "2341", "8036", "", "00", 0},
      {R"(USB\VID_0403&PID_6010&MI_01\7&1B2C3D4E&0&0001)", "USB", "0403", "6010", "", "01", 0},
      // FTDI's own bus: the serial number in the ID's middle, the channel's letter after it.
      {R"(FTDIBUS\VID_0403+PID_6001+A12345BA\0000)", "FTDIBUS", "0403", "6001", "A12345BA", "",
       'A'},
      {R"(FTDIBUS\VID_0403+PID_6001+A12345B\0000)", "FTDIBUS", "0403", "6001", "A12345B", "", 'B'},
      {R"(FTDIBUS\VID_0403+PID_6010+FT4ABCB\0000)", "FTDIBUS", "0403", "6010", "FT4ABCB", "", 'B'},
      {R"(usb\vid_0403&pid_6001\a1)", "USB", "0403", "6001", "a1", "", 0},
      {R"(USB\VID_0403&PID_6001)", "USB", "0403", "6001", "", "", 0},
      // No USB device: a built-in port, a malformed ID.
      {R"(ACPI\PNP0501\0)", "ACPI", "", "", "", "", 0},
      {R"(USB\VID_04G3&PID_6001\X)", "USB", "", "", "", "", 0},
      {R"(USB\VID_0403\X)", "USB", "", "", "", "", 0},
      {"", "", "", "", "", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const InstanceId id = parse_instance_id(c.id);
    EXPECT_EQ(id.bus, c.bus);
    EXPECT_EQ(id.vid, c.vid);
    EXPECT_EQ(id.pid, c.pid);
    EXPECT_EQ(id.serial, c.serial);
    EXPECT_EQ(id.interface_number, c.interface_number);
    EXPECT_EQ(id.channel, c.channel);
  }
}

TEST(UsbDeviceId, LocationPathsGiveTheHubPath) {
  struct Case {
    std::vector<std::string> paths;
    const char* location;
    const char* interface_number;
  };
  const Case cases[] = {
      {{"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(2)",
        "ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS01)#USB(2)"},
       "1-1.2",
       ""},
      // The USB path need not come first.
      {{"ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS02)",
        "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"},
       "1-2",
       ""},
      {{"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(1)#USBMI(2)"}, "1-1.1", "02"},
      {{"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(5)#USB(12)#USB(3)"}, "1-5.12.3", ""},
      {{"PCIROOT(0)#PCI(1D00)#USBROOT(1)#USB(3)"}, "2-3", ""},
      {{"PCIROOT(0)#PCI(1F00)#ACPI(PNP0501)"}, "", ""},
      {{"PCIROOT(0)#PCI(1400)#USBROOT(0)"}, "", ""},
      {{"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(x)"}, "", ""},
      {{}, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.paths.empty() ? std::string("(none)") : c.paths.front());
    std::string function = "unset";
    EXPECT_EQ(hub_location(c.paths, &function), c.location);
    if (*c.location != '\0') {
      EXPECT_EQ(function, c.interface_number);
    }
  }
  EXPECT_EQ(multi_strings(std::string("a\0bc\0\0", 6)), (std::vector<std::string>{"a", "bc"}));
  EXPECT_EQ(multi_strings(std::string("a\0\0b\0\0", 6)), (std::vector<std::string>{"a"}));
  EXPECT_TRUE(multi_strings(std::string("\0\0", 2)).empty());
}

TEST(UsbDeviceId, APortsIdentityComesFromItsDeviceAndTheDevicesAboveIt) {
  const std::string root = "PCIROOT(0)#PCI(1400)#USBROOT(0)";
  struct Expected {
    const char* vid = "";
    const char* pid = "";
    const char* serial = "";
    const char* location = "";
    const char* interface_number = "";
  };
  struct Case {
    const char* what;
    std::vector<DeviceNode> chain;
    Expected expected;
  };
  const Case cases[] = {
      {"a device with its own serial number",
       {{R"(USB\VID_10C4&PID_EA60\0001)", {root + "#USB(2)"}},
        {R"(USB\ROOT_HUB30\4&1A2B&0&0)", {root}}},
       {"10c4", "ea60", "0001", "1-2"}},
      {"a device without one on a hub socket, under a hub that has one",
       {{R"(USB\VID_1A86&PID_7523\5&2C6E7D2E&0&2)", {root + "#USB(5)#USB(1)"}},
        {R"(USB\VID_05E3&PID_0608\HUB0001)", {root + "#USB(5)"}}},
       {"1a86", "7523", "", "1-5.1"}},
      {"a function of a composite device: the serial number is the device's",
       {{R"(USB\VID_2341&PID_8036&MI_00\7&1B2C3D4E&0&0000)", {root + "#USB(1)#USB(1)#USBMI(0)"}},
        {R"(USB\VID_2341&PID_8036\HIDPCDC42)", {root + "#USB(1)#USB(1)"}}},
       {"2341", "8036", "HIDPCDC42", "1-1.1", "00"}},
      {"a composite device without a serial number",
       {{R"(USB\VID_2341&PID_8036&MI_02\7&1B2C3D4E&0&0002)", {}},
        {R"(USB\VID_2341&PID_8036\6&12AB&0&1)", {root + "#USB(3)"}}},
       {"2341", "8036", "", "1-3", "02"}},
      {"FTDI's bus: the serial number and location of the USB device",
       {{R"(FTDIBUS\VID_0403+PID_6001+A12345BA\0000)", {}},
        {R"(USB\VID_0403&PID_6001\A12345B)", {root + "#USB(1)#USB(2)"}}},
       {"0403", "6001", "A12345B", "1-1.2"}},
      {"the second channel of a two-channel chip",
       {{R"(FTDIBUS\VID_0403+PID_6010+FT4ABCB\0000)", {}},
        {R"(USB\VID_0403&PID_6010\FT4ABC)", {root + "#USB(4)"}}},
       {"0403", "6010", "FT4ABC", "1-4", "01"}},
      {"FTDI's bus with no USB device above it: the ID's serial number as written",
       {{R"(FTDIBUS\VID_0403+PID_6001+A12345BA\0000)", {}}},
       {"0403", "6001", "A12345BA"}},
      {"a built-in port", {{R"(ACPI\PNP0501\0)", {"ACPI(_SB_)#ACPI(PCI0)#ACPI(UAR1)"}}}, {}},
      {"nothing known", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PortIdentity p;
    p.name = "COM5";
    usb_identity(c.chain, p);
    EXPECT_EQ(p.name, "COM5");
    EXPECT_EQ(p.vid, c.expected.vid);
    EXPECT_EQ(p.pid, c.expected.pid);
    EXPECT_EQ(p.serial, c.expected.serial);
    EXPECT_EQ(p.location, c.expected.location);
    EXPECT_EQ(p.interface_number, c.expected.interface_number);
  }
}

}  // namespace
}  // namespace kx::serial
