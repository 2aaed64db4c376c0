#include "elements/serial/port_watch.hpp"

#include <algorithm>
#include <chrono>
#include <utility>

#include "elements/serial/com_async.hpp"
#include "elements/serial/port.hpp"
#include "runtime/device_change.hpp"

namespace kx {

TKxPortWatch::TKxPortWatch(serial::PortProbe::Check check) : probe_(std::move(check)) {}

TKxPortWatch::~TKxPortWatch() {
  if (watching_) set_device_change_listener(nullptr);
}

void TKxPortWatch::doList(TData&, std::uint16_t) {
  if (stopped_) return;
  if (!watching_) {
    watching_ = true;
    set_device_change_listener([this] {
      TData d;
      doDeviceChange(d, 0);
    });
  }
  list(true);
}

void TKxPortWatch::doStop(TData&, std::uint16_t) {
  stopped_ = true;
  again_ = false;
  if (watching_) set_device_change_listener(nullptr);
  watching_ = false;
  // The list stays as it is: a listing still under way ends here.
  probe_.cancel();
}

void TKxPortWatch::doDeviceChange(TData&, std::uint16_t) {
  if (!watching_ || stopped_) return;
  if (probe_.running()) {
    again_ = true;
    return;
  }
  list(false);
}

void TKxPortWatch::list(bool first) {
  std::vector<std::string> names = serial::installed_ports();
  if (!OnlyPorts.empty())
    std::erase_if(names, [this](const std::string& name) {
      const int n = TKxComAsync::port_number(name);
      return n == 0 || std::none_of(OnlyPorts.begin(), OnlyPorts.end(), [n](const std::string& p) {
               return TKxComAsync::port_number(p) == n;
             });
    });
  TData none;
  const std::string choice = first ? std::string() : read_string(none, dataChoice, "");
  std::vector<bool> known(names.size(), !CheckPorts);
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!choice.empty() && TKxComAsync::port_number(names[i]) != 0 &&
        TKxComAsync::port_number(names[i]) == TKxComAsync::port_number(choice))
      known[i] = true;
  found_.clear();
  probe_.start(
      names, std::move(known), std::chrono::milliseconds(Timeout),
      [this, first](const std::string& name, bool openable) {
        if (!openable) return;
        found_.push_back(name);
        if (first) {
          shown_.push_back(name);
          fire_string(onPortName, name);
        }
      },
      [this, first] {
        if (first) fire_null(onListed);
        if (!first && !stopped_ && found_ != shown_) {
          shown_ = found_;
          std::string lines;
          for (const std::string& name : shown_) lines += name + "\r\n";
          fire_string(onItems, std::move(lines));
        }
        if (again_ && !stopped_) {
          again_ = false;
          list(false);
        }
      });
}

}  // namespace kx
