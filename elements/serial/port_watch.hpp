// TKxPortWatch: the list of openable serial ports, filled without holding up the window and
// following adapters that are plugged in and pulled out.
//
// doList trial-opens every installed port off the element thread (each bounded by Timeout
// milliseconds) and fires onPortName for each openable one, in the system's order, as the
// answers come. Afterwards, while the watch is active, every port arrival or removal that the
// system reports lists the ports again the same way; when the list differs from the one shown
// the whole new list goes out at once as onItems (lines ending in CR LF). The end of the first
// listing is onListed: no trial open holds any port after it. The port last chosen
// (dataChoice) is not trial-opened, since the program itself may hold it open: it stays while
// it is installed. doStop ends the watching for good (a device was identified on the chosen
// port, and the list stays as it is, a listing under way included).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "elements/serial/port_probe.hpp"
#include "runtime/pinned.hpp"
#include "runtime/tdata.hpp"

namespace kx {

class TKxPortWatch : Pinned {
 public:
  explicit TKxPortWatch(serial::PortProbe::Check check = {});
  ~TKxPortWatch();

  bool CheckPorts = true;       // false: every installed port is listed without a trial
  std::int32_t Timeout = 1000;  // the bound of one trial open, in milliseconds

  EventLink onPortName;  // one openable port of the first listing
  EventLink onItems;     // a later listing that differs: every port, one per line
  EventLink onListed;    // NULL: the first listing is over (every port answered or timed out)
  EventLink dataChoice;  // the port last chosen (empty: none)

  void doList(TData& d, std::uint16_t index);
  void doStop(TData& d, std::uint16_t index);
  // A port arrived or went (the toolkit's device-change notice); also a pin for tests.
  void doDeviceChange(TData& d, std::uint16_t index);

  // Read-only views (tests).
  bool watching() const { return watching_; }
  bool listing() const { return probe_.running(); }
  const std::vector<std::string>& shown() const { return shown_; }
  // Threads the system refused to start for the listings (their ports were left out).
  std::size_t failed_thread_starts() const { return probe_.failed_starts(); }

 private:
  void list(bool first);

  serial::PortProbe probe_;
  bool watching_ = false;
  bool stopped_ = false;
  bool again_ = false;  // a change came while a listing ran: list once more after it
  std::vector<std::string> shown_;
  std::vector<std::string> found_;
};

}  // namespace kx
