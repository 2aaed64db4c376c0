// The unattended driver beside the main scheme, wired in the schemes' own way: create the
// elements, set their properties, link. Each of the scheme's links that the driver watches
// gets a hub in its place that passes the event on to where the link went and to the driver.
#pragma once

#include <string>

#include "runtime/pinned.hpp"

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

  TKxUnattended* driver = nullptr;
  TKxMMTimer* tmrIdentify = nullptr;
  TKxHub* hubChoice = nullptr;
  TKxHub* hubRx = nullptr;
  TKxHub* hubFoundTap = nullptr;
  TKxHub* hubClick = nullptr;
  TKxHub* hubProgressTap = nullptr;
  TKxHub* hubSuccessTap = nullptr;
  TKxHub* hubFailTap = nullptr;
};

}  // namespace kx
