// The POSIX port table: the system's serial devices under fixed COM names, or the ports the
// tests registered.
#include <dirent.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "elements/serial/com_name.hpp"
#include "elements/serial/port_table.hpp"

namespace kx {

namespace {

std::mutex g_table_mutex;
std::vector<std::pair<std::string, std::string>> g_registered;

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

void sort_table(std::vector<std::pair<std::string, std::string>>& t) {
  std::stable_sort(t.begin(), t.end(), [](const auto& a, const auto& b) {
    // Names that are no port sort last.
    const auto key = [](const std::string& name) {
      const int n = serial::com_port_number(name);
      return n != 0 ? n : std::numeric_limits<int>::max();
    };
    return key(a.first) < key(b.first);
  });
}

// "ttyUSB12" with prefix "ttyUSB": 12; -1 when the rest is not a plain number.
int device_number(const std::string& entry, const std::string& prefix) {
  if (entry.size() <= prefix.size() || entry.compare(0, prefix.size(), prefix) != 0) return -1;
  int n = 0;
  for (std::size_t i = prefix.size(); i < entry.size(); ++i) {
    if (entry[i] < '0' || entry[i] > '9' || n > 1000) return -1;
    n = n * 10 + (entry[i] - '0');
  }
  return n;
}

std::vector<std::pair<std::string, std::string>> system_table() {
  struct Family {
    const char* prefix;
    int base;
    int count;
  };
  static const Family families[] = {{"ttyS", 1, 100}, {"ttyUSB", 101, 50}, {"ttyACM", 151, 105}};
  std::vector<std::pair<std::string, std::string>> t;
  DIR* dir = opendir("/dev");
  if (!dir) return t;
  while (dirent* e = readdir(dir)) {
    const std::string entry = e->d_name;
    for (const Family& f : families) {
      const int n = device_number(entry, f.prefix);
      if (n >= 0 && n < f.count)
        t.emplace_back("COM" + std::to_string(f.base + n), "/dev/" + entry);
    }
  }
  closedir(dir);
  sort_table(t);
  return t;
}

}  // namespace

void register_port(std::string com_name, std::string device_path) {
  std::lock_guard<std::mutex> lock(g_table_mutex);
  const std::string key = upper(com_name);
  auto it = std::find_if(g_registered.begin(), g_registered.end(),
                         [&](const auto& p) { return upper(p.first) == key; });
  if (it != g_registered.end())
    it->second = std::move(device_path);
  else
    g_registered.emplace_back(std::move(com_name), std::move(device_path));
  sort_table(g_registered);
}

void clear_registered_ports() {
  std::lock_guard<std::mutex> lock(g_table_mutex);
  g_registered.clear();
}

namespace serial {

std::vector<std::pair<std::string, std::string>> port_table() {
  {
    std::lock_guard<std::mutex> lock(g_table_mutex);
    if (!g_registered.empty()) return g_registered;
  }
  return system_table();
}

std::string device_for(const std::string& com_name) {
  const std::string key = upper(com_name);
  for (const auto& [name, path] : port_table())
    if (upper(name) == key) return path;
  return {};
}

}  // namespace serial
}  // namespace kx
