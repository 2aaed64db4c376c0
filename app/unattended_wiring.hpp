// The unattended driver beside the main scheme, wired in the schemes' own way: create the
// elements, set their properties, link. Each of the scheme's links that the driver watches
// gets a hub in its place that passes the event on to where the link went and to the driver.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runtime/pinned.hpp"
#include "runtime/tdata.hpp"

namespace kx {

class TClassSimpleForm_2597650;
class TKxUnattended;
class TKxHub;
class TKxMMTimer;
class UpdateLog;

class UnattendedWiring : Pinned {
 public:
  // `port` empty: a person drives; the driver only logs. Built after the scheme and before
  // its form starts (the driver's start-up runs after the scheme's own).
  UnattendedWiring(TClassSimpleForm_2597650* scheme, const std::string& port, UpdateLog* log);
  ~UnattendedWiring();

  const TKxUnattended& driver() const { return *driver_; }
  // Its hooks (OpenFailure, PortFailure) are set here, before the form starts.
  TKxUnattended& driver() { return *driver_; }
  // The identification's time-out (tests give its tick by hand).
  TKxMMTimer& identify_timer() { return *identify_timer_; }

 private:
  // A hub in place of the link in `pin`: output `first` goes where the link went.
  TKxHub* tap(EventLink& pin, int first);

  std::unique_ptr<TKxUnattended> driver_;
  std::unique_ptr<TKxMMTimer> identify_timer_;  // from the port choice to the device's identity
  std::vector<std::unique_ptr<TKxHub>> taps_;
};

}  // namespace kx
