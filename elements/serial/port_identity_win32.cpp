// Port identity on Windows: the installed ports (the port list's own registry key), each matched
// with its device in the device manager's "Ports" class (CDC devices included) by the device's
// "PortName", and the device and its parents read for the USB identity. The device manager's
// library is loaded from the system folder when a list is asked for; without it (or where the
// system tells nothing, as under Wine) the ports are listed with empty fields.
#include <windows.h>
// The headers after windows.h.
#include <cfgmgr32.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "elements/serial/com_name.hpp"
#include "elements/serial/port.hpp"
#include "elements/serial/port_identity.hpp"
#include "elements/serial/usb_device_id.hpp"
#include "toolkit/win32/system_library.hpp"

namespace kx::serial {

namespace {

// {4d36e978-e325-11ce-bfc1-08002be10318}: the "Ports" class (COM and LPT).
const GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr int kMaxParents = 4;  // a port function, its USB device, hubs above: enough

struct DeviceManager {
  decltype(&SetupDiGetClassDevsA) get_class_devs;
  decltype(&SetupDiEnumDeviceInfo) enum_device_info;
  decltype(&SetupDiGetDeviceInstanceIdA) instance_id;
  decltype(&SetupDiGetDeviceRegistryPropertyA) registry_property;
  decltype(&SetupDiOpenDevRegKey) open_dev_reg_key;
  decltype(&SetupDiDestroyDeviceInfoList) destroy_list;
  decltype(&CM_Get_Parent) get_parent;
  decltype(&CM_Get_Device_IDA) get_device_id;
  decltype(&CM_Get_DevNode_Registry_PropertyA) node_property;
};

template <class Fn>
bool bind(const char* name, Fn& fn) {
  fn = win32::system_function<Fn>(L"setupapi.dll", name);
  return fn != nullptr;
}

const DeviceManager* device_manager() {
  static const DeviceManager* const dm = []() -> const DeviceManager* {
    static DeviceManager d;
    const bool all = bind("SetupDiGetClassDevsA", d.get_class_devs) &&
                     bind("SetupDiEnumDeviceInfo", d.enum_device_info) &&
                     bind("SetupDiGetDeviceInstanceIdA", d.instance_id) &&
                     bind("SetupDiGetDeviceRegistryPropertyA", d.registry_property) &&
                     bind("SetupDiOpenDevRegKey", d.open_dev_reg_key) &&
                     bind("SetupDiDestroyDeviceInfoList", d.destroy_list) &&
                     bind("CM_Get_Parent", d.get_parent) &&
                     bind("CM_Get_Device_IDA", d.get_device_id) &&
                     bind("CM_Get_DevNode_Registry_PropertyA", d.node_property);
    return all ? &d : nullptr;
  }();
  return dm;
}

// A string value of the device's own key ("PortName"); empty when there is none.
std::string port_name_of(const DeviceManager& dm, HDEVINFO set, SP_DEVINFO_DATA& info) {
  HKEY key = dm.open_dev_reg_key(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == nullptr || key == INVALID_HANDLE_VALUE) return {};
  char value[64] = {};
  DWORD size = sizeof value - 1, type = 0;
  const bool ok = RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(value),
                                   &size) == ERROR_SUCCESS &&
                  type == REG_SZ;
  RegCloseKey(key);
  return ok ? std::string(value) : std::string();
}

std::string property_of(const DeviceManager& dm, HDEVINFO set, SP_DEVINFO_DATA& info,
                        DWORD property) {
  char value[1024] = {};
  DWORD type = 0;
  if (!dm.registry_property(set, &info, property, &type, reinterpret_cast<BYTE*>(value),
                            sizeof value - 2, nullptr))
    return {};
  return std::string(value, sizeof value);
}

// The device's instance ID and location paths, and those of its parents, nearest first.
std::vector<DeviceNode> chain_of(const DeviceManager& dm, HDEVINFO set, SP_DEVINFO_DATA& info) {
  std::vector<DeviceNode> chain(1);
  char id[MAX_DEVICE_ID_LEN + 1] = {};
  if (dm.instance_id(set, &info, id, sizeof id, nullptr)) chain[0].instance_id = id;
  chain[0].location_paths = multi_strings(property_of(dm, set, info, SPDRP_LOCATION_PATHS));
  DEVINST node = info.DevInst;
  for (int i = 0; i < kMaxParents; ++i) {
    DEVINST up = 0;
    if (dm.get_parent(&up, node, 0) != CR_SUCCESS) break;
    node = up;
    DeviceNode parent;
    char parent_id[MAX_DEVICE_ID_LEN + 1] = {};
    if (dm.get_device_id(node, parent_id, sizeof parent_id - 1, 0) == CR_SUCCESS)
      parent.instance_id = parent_id;
    char paths[1024] = {};
    ULONG size = sizeof paths - 2, type = 0;
    if (dm.node_property(node, CM_DRP_LOCATION_PATHS, &type, paths, &size, 0) == CR_SUCCESS)
      parent.location_paths = multi_strings(std::string(paths, sizeof paths));
    chain.push_back(std::move(parent));
  }
  return chain;
}

// Every COM port of the "Ports" class that the device manager knows, with its identity.
std::vector<PortIdentity> class_ports() {
  std::vector<PortIdentity> found;
  const DeviceManager* dm = device_manager();
  if (dm == nullptr) return found;
  HDEVINFO set = dm->get_class_devs(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return found;
  for (DWORD i = 0;; ++i) {
    SP_DEVINFO_DATA info = {};
    info.cbSize = sizeof info;
    if (!dm->enum_device_info(set, i, &info)) break;
    PortIdentity p;
    p.name = port_name_of(*dm, set, info);
    if (com_port_number(p.name) == 0) continue;  // a printer port of the class
    p.description = std::string(property_of(*dm, set, info, SPDRP_DEVICEDESC).c_str());
    usb_identity(chain_of(*dm, set, info), p);
    found.push_back(std::move(p));
  }
  dm->destroy_list(set);
  return found;
}

}  // namespace

std::vector<PortIdentity> list_port_identities() {
  const std::vector<PortIdentity> known = class_ports();
  std::vector<PortIdentity> ports;
  for (const std::string& name : installed_ports()) {
    PortIdentity p;
    p.name = name;
    for (const PortIdentity& k : known)
      if (com_port_number(k.name) == com_port_number(name)) {
        p = k;
        p.name = name;
      }
    ports.push_back(std::move(p));
  }
  return ports;
}

std::string tool_port_name(const PortIdentity& p) {
  return p.name;
}

}  // namespace kx::serial
