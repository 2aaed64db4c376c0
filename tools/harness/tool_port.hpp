// The settings the tool's main window gives its port, for hosts and tests that stand in for
// the window: 38462 baud, 8 data bits, an event per received byte, reads that return at once,
// writes bounded to 1 s plus 100 ms a byte, and the port list trial-opening each port.
#pragma once

#include "elements/serial/com_async.hpp"

namespace kx::harness {

inline void set_up_as_the_tool(TKxComAsync& c) {
  c.Baud = 38462;
  c.DataBits = TKxComAsync::kEightDataBits;
  c.AbortOnError = true;
  c.XoffChar = 19;
  c.XonChar = 17;
  c.InQueue = 4096;
  c.OutQueue = 4096;
  c.EvRxChar = true;
  c.ReadIntervalTimeout = 0xFFFFFFFFu;
  c.WriteTotalTimeoutConstant = 1000;
  c.WriteTotalTimeoutMultiplier = 100;
  c.CheckPorts = true;
}

}  // namespace kx::harness
