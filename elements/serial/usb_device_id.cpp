#include "elements/serial/usb_device_id.hpp"

#include <cstdio>

namespace kx::serial {

namespace {

char upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_hex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "VID_0403" with tag "VID_": "0403"; empty unless the tag (any case) and hexadecimal digits.
std::string tagged_hex(std::string_view token, std::string_view tag, std::size_t digits) {
  if (token.size() != tag.size() + digits) return {};
  for (std::size_t i = 0; i < tag.size(); ++i)
    if (upper(token[i]) != tag[i]) return {};
  std::string value;
  for (const char c : token.substr(tag.size())) {
    if (!is_hex(c)) return {};
    value += lower(c);
  }
  return value;
}

std::vector<std::string_view> split(std::string_view text, char at) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t cut = text.find(at);
    parts.push_back(text.substr(0, cut));
    if (cut == std::string_view::npos) return parts;
    text.remove_prefix(cut + 1);
  }
}

// "USB(12)" with name "USB": 12; -1 unless exactly the name and a decimal number in brackets.
int numbered(std::string_view segment, std::string_view name) {
  if (segment.size() < name.size() + 3 || segment.substr(0, name.size()) != name ||
      segment[name.size()] != '(' || segment.back() != ')')
    return -1;
  int n = 0;
  for (const char c : segment.substr(name.size() + 1, segment.size() - name.size() - 2)) {
    if (c < '0' || c > '9' || n > 9999) return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

InstanceId parse_instance_id(std::string_view id) {
  InstanceId out;
  const std::vector<std::string_view> parts = split(id, '\\');
  for (const char c : parts[0]) out.bus += upper(c);
  if (parts.size() < 2) return out;
  // USB: "VID_0403&PID_6010&MI_01"; FTDI's bus: "VID_0403+PID_6001+A12345BA", the serial last.
  const bool ftdi = out.bus == "FTDIBUS";
  const std::vector<std::string_view> tokens = split(parts[1], ftdi ? '+' : '&');
  std::string serial;
  for (const std::string_view token : tokens) {
    if (const std::string v = tagged_hex(token, "VID_", 4); !v.empty())
      out.vid = v;
    else if (const std::string p = tagged_hex(token, "PID_", 4); !p.empty())
      out.pid = p;
    else if (const std::string mi = tagged_hex(token, "MI_", 2); !mi.empty())
      out.interface_number = mi;
    else if (ftdi && !token.empty())
      serial = std::string(token);
  }
  if (out.vid.empty() || out.pid.empty()) {
    out.vid.clear();
    out.pid.clear();
    out.interface_number.clear();
    return out;
  }
  // A USB device's own serial number is the ID's last part; one with '&' is the system's making
  // (a device without a serial number, or one function of a composite device).
  if (!ftdi && parts.size() >= 3) serial = std::string(parts[2]);
  if (serial.find('&') != std::string::npos) serial.clear();
  if (ftdi && serial.size() > 1 && serial.back() >= 'A' && serial.back() <= 'Z')
    out.channel = serial.back();
  out.serial = serial;
  return out;
}

std::string hub_location(const std::vector<std::string>& paths, std::string* interface_number) {
  for (const std::string& path : paths) {
    std::string location;
    std::string function;
    bool on_usb = false;
    for (const std::string_view segment : split(path, '#')) {
      if (const int root = numbered(segment, "USBROOT"); root >= 0) {
        location = std::to_string(root + 1);
        on_usb = true;
      } else if (const int port = numbered(segment, "USB"); on_usb && port >= 0) {
        location += (location.find('-') == std::string::npos ? "-" : ".") + std::to_string(port);
      } else if (const int mi = numbered(segment, "USBMI"); on_usb && mi >= 0 && mi < 256) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", mi);
        function = hex;
      }
    }
    if (!on_usb || location.find('-') == std::string::npos) continue;
    if (interface_number != nullptr) *interface_number = function;
    return location;
  }
  return {};
}

void usb_identity(const std::vector<DeviceNode>& chain, PortIdentity& p) {
  if (chain.empty()) return;
  const InstanceId self = parse_instance_id(chain.front().instance_id);
  if (self.vid.empty()) return;
  p.vid = self.vid;
  p.pid = self.pid;
  p.serial = self.serial;
  p.interface_number = self.interface_number;
  p.location.clear();
  bool device_serial = false;  // the serial number came from the USB device itself
  for (std::size_t i = 0; i < chain.size(); ++i) {
    if (p.location.empty()) {
      std::string function;
      p.location = hub_location(chain[i].location_paths, &function);
      if (p.interface_number.empty()) p.interface_number = function;
    }
    if (i == 0 || device_serial) continue;
    const InstanceId up = parse_instance_id(chain[i].instance_id);
    if (up.bus == "USB" && up.vid == self.vid && up.pid == self.pid &&
        up.interface_number.empty()) {
      p.serial = up.serial;
      device_serial = true;
    }
  }
  // FTDI's bus names each channel by a letter after the chip's serial number ("FT4ABCA",
  // "FT4ABCB"): the interface of a multi-channel chip (FT2232, FT4232).
  const bool channels = self.vid == "0403" && (self.pid == "6010" || self.pid == "6011");
  if (self.bus == "FTDIBUS" && channels && self.channel != 0 && p.interface_number.empty()) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", self.channel - 'A');
    p.interface_number = hex;
  }
}

std::vector<std::string> multi_strings(std::string_view bytes) {
  std::vector<std::string> out;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\0');
    const std::string_view one = bytes.substr(0, end);
    if (one.empty()) break;
    out.emplace_back(one);
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
  }
  return out;
}

}  // namespace kx::serial
