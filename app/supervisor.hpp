// A run of several ports ("/auto=COM3,COM5,COM7"): one process per device, each the tool's own
// program with "/auto=COMn", started together and heard by the first process, which shows no
// window of its own. A fault on one port (a failed transfer, a pulled adapter, a process that
// crashes or hangs) stops or slows no other.
//
// Each device's process hands its run's events to the first process through a channel it
// inherits (app/event_channel.hpp, app/run_events.hpp). The first process alone writes the
// summary: exactly one line per port, the device's own result when its process told one
// (whatever happened to the process after that), else a record of its own with the result
// "interrupted" and why (the process crashed, was ended from outside, could not start, or was
// stuck). A process that tells nothing for `stuck_after` is stuck: it is ended and recorded.
// The wait is bounded by progress only: a transfer that moves is never cut.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/run_events.hpp"

namespace kx {

class ProcessLauncher;
class UpdateLog;

// The arguments of the process for port `index` of `line`: "/auto=COMn", its window's place
// "/place=K,N", its own log beside the run's (port_log_path) and its channel "/events=N".
std::vector<std::string> device_arguments(const CommandLine& line, std::size_t index,
                                          const std::string& channel);

// The log of one port's process beside `log_path`, named after the port: "update.log" gives
// "update-COM5.log", "logs\run" gives "logs\run-COM5"; a selector's characters that no file
// name may hold become '-' ("update-usb=0403-6001.log").
std::string port_log_path(const std::string& log_path, const std::string& entry);

// The whole run's exit code from each device's: 1 when any device's run failed otherwise than
// for want of a device (a failed transfer, an interrupted run: 130); else 2 when some port had
// no device; else 4 when some updated device's summary line was lost; else 0.
int line_exit_code(const std::vector<int>& codes);

struct SuperviseOptions {
  // The arguments of port `index`'s process, given its channel's name; none: device_arguments.
  std::function<std::vector<std::string>(std::size_t index, const std::string& channel)> arguments;
  // Told, on the supervising thread, every event a device's process tells, as it comes, and
  // exactly one result per port: the device's own, or the first process's record in its place.
  std::function<void(std::size_t index, const RunEvent& event)> events;
  // A process that tells nothing for this long is stuck and ended.
  std::chrono::milliseconds stuck_after{30000};
  // While processes run, the ports still awaited are logged this often.
  std::chrono::milliseconds report_every{10000};
  // How long a process that was ended may take to end before it is given up.
  std::chrono::milliseconds end_grace{10000};
};

// Starts one process per port of `line.ports` through `launcher`, hears them until every one
// has ended and returns the whole run's exit code; the summary (line.summary_path) gets one
// line per port. The run's own log lines go to `log`.
int supervise(const CommandLine& line, ProcessLauncher& launcher, UpdateLog& log,
              const SuperviseOptions& options = {});

}  // namespace kx
