#include "app/station_ports.hpp"

#include <dirent.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "app/port_choice.hpp"
#include "app/port_selector.hpp"
#include "elements/serial/port_claim_posix.hpp"

namespace kx {

namespace {

constexpr const char* kBusy = "port busy: ";
constexpr const char* kDenied = "permission denied: ";
constexpr const char* kRuleAt = "/usr/share/doc/kxflash/";

std::string os_error(int err) {
  return std::string(std::strerror(err)) + ", OS error " + std::to_string(err);
}

}  // namespace

std::string resolve_ports(const std::vector<std::string>& names, std::vector<StationPort>& ports) {
  ports.clear();
  const std::vector<serial::PortIdentity> listed = has_adapter_selector(names)
                                                       ? serial::list_port_identities()
                                                       : std::vector<serial::PortIdentity>();
  for (const std::string& name : names) {
    StationPort p;
    p.name = name;
    p.device = name;
    if (is_adapter_selector(name)) {
      // The list names each port by its device node.
      const ChosenPort chosen = resolve_port(name, listed);
      p.selector = name;
      p.adapter = chosen.port;
      if (chosen.found)
        p.device = chosen.port.name;
      else
        p.unresolved = chosen.problem;
    } else {
      char buf[PATH_MAX];
      if (::realpath(name.c_str(), buf) != nullptr) p.device = buf;
    }
    for (const StationPort& q : ports)
      if (p.unresolved.empty() && q.unresolved.empty() && q.device == p.device)
        return "one device given twice: " + q.name + " and " + p.name +
               (q.name == p.device && p.name == p.device ? "" : " (both " + p.device + ")");
    ports.push_back(std::move(p));
  }
  return {};
}

std::string device_tag(const std::string& device) {
  std::string tag = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
  while (!tag.empty() && tag.front() == '/') tag.erase(0, 1);
  for (char& c : tag)
    if (c == '/') c = '-';
  return tag;
}

std::string both_names(const StationPort& port) {
  return port.device == port.name ? port.name : port.name + " (" + port.device + ")";
}

std::string port_refusal(const StationPort& port) {
  const serial::OpenError why = serial::trial_open(port.device);
  const std::string& device = port.device;
  switch (why.problem) {
    case serial::OpenProblem::None:
      return {};
    case serial::OpenProblem::AccessDenied:
      return kDenied + device + " cannot be opened by this user (" + os_error(why.os_error) + ")";
    case serial::OpenProblem::Busy:
      return kBusy + device + " is in use by another program";
    case serial::OpenProblem::NoSuchPort:
      if (why.os_error == ENOTTY) return "not a serial port: " + device;
      return "no such device: " + device + " (" + os_error(why.os_error) + ")";
    case serial::OpenProblem::RateRefused:
    case serial::OpenProblem::NoThread:
    case serial::OpenProblem::NoAnswer:
    case serial::OpenProblem::Other:
      break;
  }
  return "the port cannot be opened: " + device + " (" + os_error(why.os_error) + ")";
}

std::string refusal_hint(const std::string& refusal) {
  if (refusal.rfind(kDenied, 0) == 0)
    return std::string(
               "  Serial ports belong to the group dialout: add the user to it\n"
               "  (sudo usermod -aG dialout $USER) and log in again, or install the sample\n"
               "  udev rule under ") +
           kRuleAt + " for the device.\n";
  if (refusal.rfind(kBusy, 0) == 0)
    return "  Another program has the port open (a terminal program, a second kxflash);\n"
           "  end it and run again. fuser -v on the device names it.\n";
  return {};
}

bool modem_manager_runs() {
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return false;
  bool found = false;
  while (const dirent* e = ::readdir(proc)) {
    if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
    std::ifstream comm(std::string("/proc/") + e->d_name + "/comm");
    std::string name;
    if (std::getline(comm, name) && name == "ModemManager") {
      found = true;
      break;
    }
  }
  ::closedir(proc);
  return found;
}

std::string modem_manager_note() {
  return std::string(
             "note: ModemManager is running: it may probe a serial port as soon as it is\n"
             "  plugged in and disturb an update. The sample udev rule under ") +
         kRuleAt +
         "\n"
         "  keeps it away from the device's ports (ENV{ID_MM_DEVICE_IGNORE}=\"1\").\n";
}

}  // namespace kx
