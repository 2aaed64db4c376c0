// TKxTaskState: tells the system about the program's long task (the transfer). From doBusy
// until doIdle or doFailed the machine is kept awake and the taskbar button follows the
// progress; doFailed leaves the button in its error state. A destroyed element that was busy
// lets the system go.
#pragma once

#include <cstdint>

#include "runtime/pinned.hpp"
#include "runtime/tdata.hpp"

namespace kx {

class TKxTaskState : Pinned {
 public:
  TKxTaskState() = default;
  ~TKxTaskState();

  std::int32_t Max = 0;  // the progress that completes the task

  void doBusy(TData& d, std::uint16_t index);
  // The progress becomes the event's value as an integer (NULL: 0).
  void doProgress(TData& d, std::uint16_t index);
  void doIdle(TData& d, std::uint16_t index);
  void doFailed(TData& d, std::uint16_t index);

 private:
  bool busy_ = false;
};

}  // namespace kx
