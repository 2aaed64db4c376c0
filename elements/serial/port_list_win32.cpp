// Win32 serial back-end, the list of ports: the installed ones from
// HARDWARE\DEVICEMAP\SERIALCOMM, and a trial open that tells whether one can be opened now.
#include <windows.h>

#include <string>
#include <vector>

#include "elements/serial/port.hpp"
#include "elements/serial/port_win32.hpp"

namespace kx::serial {

std::vector<std::string> installed_ports() {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return names;
  DWORD count = 0, longest = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    RegCloseKey(key);
    return names;
  }
  for (DWORD i = 0; i < count; ++i) {
    std::vector<char> value_name(longest + 1, '\0');
    DWORD len = longest + 1;
    if (RegEnumValueA(key, i, value_name.data(), &len, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    value_name.back() = '\0';
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, value_name.data(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
      break;  // a value that is not a string ends the listing
    // One byte more than the data: a stored string need not end in NUL.
    std::vector<char> data(static_cast<std::size_t>(size) + 1, '\0');
    DWORD got = size;
    if (RegQueryValueExA(key, value_name.data(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(data.data()), &got) != ERROR_SUCCESS)
      continue;
    names.emplace_back(data.data());
  }
  RegCloseKey(key);
  return names;
}

bool can_open_port(const std::string& name) {
  HANDLE h = CreateFileA(device_path(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

}  // namespace kx::serial
