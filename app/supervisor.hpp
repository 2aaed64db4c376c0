// A run of several ports ("/auto=COM3,COM5,COM7"): one process per device, each the tool's own
// program with "/auto=COMn", started together and waited for by the first process, which shows
// no window of its own. A fault on one port (a failed transfer, a pulled adapter, a process that
// crashes) stops or slows no other.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.hpp"

namespace kx {

class ProcessLauncher;
class UpdateLog;

// The arguments of the process for port `index` of `line`: "/auto=COMn", its window's place
// "/place=K,N", its own log beside the run's (port_log_path) and the run's summary file.
std::vector<std::string> device_arguments(const CommandLine& line, std::size_t index);

// The log of one port's process beside `log_path`, named after the port: "update.log" gives
// "update-COM5.log", "logs\run" gives "logs\run-COM5".
std::string port_log_path(const std::string& log_path, const std::string& port);

// The whole run's exit code from each device's: 0 when every device was updated; else 1 when
// any transfer failed; else 2 (no device on some port).
int line_exit_code(const std::vector<int>& codes);

// Starts one process per port through `launcher`, waits for every one and returns the whole
// run's exit code. A process that cannot be started, ends abnormally (a crash; any code other
// than 0, 1 or 2) counts as a failed transfer, and the supervisor writes its summary line. The
// run's own log lines go to `log`.
int supervise(const CommandLine& line, ProcessLauncher& launcher, UpdateLog& log);

}  // namespace kx
