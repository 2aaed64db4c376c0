// Port identity on Linux, from the udev database: every tty with a device behind it, walked up
// to its USB device (vendor, product, serial number, hub path) and interface. libudev is loaded
// when a list is asked for (libudev.so.1, the library's stable interface): a system without it
// lists its ports with empty fields, and the program needs no build-time package for it.
#include <dirent.h>
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "elements/serial/port_identity.hpp"
#include "elements/serial/port_table.hpp"

namespace kx::serial {

namespace {

struct udev;
struct udev_enumerate;
struct udev_list_entry;
struct udev_device;

// The calls used, by name from the library.
struct Udev {
  udev* (*new_context)();
  udev* (*unref)(udev*);
  udev_enumerate* (*enumerate_new)(udev*);
  int (*add_match_subsystem)(udev_enumerate*, const char*);
  int (*scan_devices)(udev_enumerate*);
  udev_list_entry* (*list_entry)(udev_enumerate*);
  udev_enumerate* (*enumerate_unref)(udev_enumerate*);
  udev_list_entry* (*next)(udev_list_entry*);
  const char* (*entry_name)(udev_list_entry*);
  udev_device* (*from_syspath)(udev*, const char*);
  udev_device* (*device_unref)(udev_device*);
  const char* (*devnode)(udev_device*);
  const char* (*devpath)(udev_device*);
  const char* (*sysname)(udev_device*);
  udev_device* (*parent)(udev_device*);
  udev_device* (*parent_with)(udev_device*, const char*, const char*);
  const char* (*sysattr)(udev_device*, const char*);
  const char* (*property)(udev_device*, const char*);
};

template <class Fn>
bool bind(void* library, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(dlsym(library, name));
  return fn != nullptr;
}

// The library's calls, or nullptr when it or one of them is missing. Loaded once, kept loaded.
const Udev* udev_calls() {
  static const Udev* const calls = []() -> const Udev* {
    void* lib = dlopen("libudev.so.1", RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return nullptr;
    static Udev u;
    const bool all = bind(lib, "udev_new", u.new_context) && bind(lib, "udev_unref", u.unref) &&
                     bind(lib, "udev_enumerate_new", u.enumerate_new) &&
                     bind(lib, "udev_enumerate_add_match_subsystem", u.add_match_subsystem) &&
                     bind(lib, "udev_enumerate_scan_devices", u.scan_devices) &&
                     bind(lib, "udev_enumerate_get_list_entry", u.list_entry) &&
                     bind(lib, "udev_enumerate_unref", u.enumerate_unref) &&
                     bind(lib, "udev_list_entry_get_next", u.next) &&
                     bind(lib, "udev_list_entry_get_name", u.entry_name) &&
                     bind(lib, "udev_device_new_from_syspath", u.from_syspath) &&
                     bind(lib, "udev_device_unref", u.device_unref) &&
                     bind(lib, "udev_device_get_devnode", u.devnode) &&
                     bind(lib, "udev_device_get_devpath", u.devpath) &&
                     bind(lib, "udev_device_get_sysname", u.sysname) &&
                     bind(lib, "udev_device_get_parent", u.parent) &&
                     bind(lib, "udev_device_get_parent_with_subsystem_devtype", u.parent_with) &&
                     bind(lib, "udev_device_get_sysattr_value", u.sysattr) &&
                     bind(lib, "udev_device_get_property_value", u.property);
    return all ? &u : nullptr;
  }();
  return calls;
}

std::string text(const char* s) {
  return s != nullptr ? std::string(s) : std::string();
}

// The last part of a path: "ttyUSB0" of "/dev/ttyUSB0" and of "../../ttyUSB0".
std::string_view last_part(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The link in `folder` to the device node `node`; empty when there is none. udev makes each link
// point at the node itself ("../../ttyUSB0"), so the link's target names the node.
std::string link_to(const char* folder, const std::string& node) {
  std::string found;
  DIR* dir = opendir(folder);
  if (dir == nullptr) return found;
  while (const dirent* e = readdir(dir)) {
    const std::string link = std::string(folder) + "/" + e->d_name;
    char target[PATH_MAX];
    const ssize_t n = e->d_name[0] != '.' ? readlink(link.c_str(), target, sizeof target) : -1;
    if (n > 0 &&
        last_part(std::string_view(target, static_cast<std::size_t>(n))) == last_part(node)) {
      found = link;
      break;
    }
  }
  closedir(dir);
  return found;
}

// " 2" (sysfs writes it with a leading blank): 2; 0 for anything else.
int number_of(const std::string& value) {
  int n = 0;
  for (const char c : value)
    if (c >= '0' && c <= '9') n = n * 10 + (c - '0');
  return n;
}

// The identity of the tty at `syspath`; false for one that is no port (a virtual terminal, a
// pseudo-terminal, a placeholder of the legacy serial driver).
bool identity_of(const Udev& u, udev* context, const char* syspath, PortIdentity& p) {
  udev_device* dev = u.from_syspath(context, syspath);
  if (dev == nullptr) return false;
  const std::string node = text(u.devnode(dev));
  const std::string path = text(u.devpath(dev));
  udev_device* parent = u.parent(dev);
  const bool port = !node.empty() && parent != nullptr && path.rfind("/devices/virtual/", 0) != 0 &&
                    text(u.sysname(parent)) != "serial8250";
  if (port) {
    p.name = node;
    if (udev_device* usb = u.parent_with(dev, "usb", "usb_device")) {
      p.vid = text(u.sysattr(usb, "idVendor"));
      p.pid = text(u.sysattr(usb, "idProduct"));
      p.serial = text(u.sysattr(usb, "serial"));
      p.location = text(u.sysname(usb));
      p.description = text(u.sysattr(usb, "product"));
      udev_device* intf = u.parent_with(dev, "usb", "usb_interface");
      if (intf != nullptr && number_of(text(u.sysattr(usb, "bNumInterfaces"))) > 1)
        p.interface_number = text(u.sysattr(intf, "bInterfaceNumber"));
    }
    if (p.description.empty()) p.description = text(u.property(dev, "ID_MODEL_FROM_DATABASE"));
    p.by_id = link_to("/dev/serial/by-id", node);
    p.by_path = link_to("/dev/serial/by-path", node);
  }
  u.device_unref(dev);  // its parents go with it
  return port;
}

}  // namespace

std::vector<PortIdentity> list_port_identities() {
  std::vector<PortIdentity> ports;
  const Udev* u = udev_calls();
  udev* context = u != nullptr ? u->new_context() : nullptr;
  if (context == nullptr) {
    // No udev: the ports the port table knows, their identity unknown.
    for (const auto& [com, device] : port_table()) ports.emplace_back().name = device;
    return ports;
  }
  if (udev_enumerate* e = u->enumerate_new(context)) {
    if (u->add_match_subsystem(e, "tty") >= 0 && u->scan_devices(e) >= 0) {
      for (udev_list_entry* i = u->list_entry(e); i != nullptr; i = u->next(i)) {
        PortIdentity p;
        if (identity_of(*u, context, u->entry_name(i), p)) ports.push_back(std::move(p));
      }
    }
    u->enumerate_unref(e);
  }
  u->unref(context);
  return ports;
}

std::string tool_port_name(const PortIdentity& p) {
  for (const auto& [com, device] : port_table())
    if (device == p.name) return com;
  return {};
}

}  // namespace kx::serial
