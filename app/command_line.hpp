// The command line: "/qv" as the first argument, or an unattended run ("/auto=COMn", or a list
// "/auto=COM3,COM5,COM7") with an optional update log ("/log=FILE") and summary
// ("/summary=FILE"). "/place=K,N" is what a run of several ports gives each of its own
// processes: the window's place K of N, and "/events=N" the channel it hands its run's events
// to (app/event_channel.hpp).
#pragma once

#include <string>
#include <vector>

namespace kx {

struct CommandLine {
  enum class Mode {
    Normal,  // the window, driven by a person; exit code 0
    Info,    // "/qv" first, without "/auto": the information box only
    Help,    // "/?" or "/help" anywhere, without "/auto": the command line's use only
    Auto,    // "/auto=COMn": the window, driven without a person; several ports: one process each
    Bad,     // "/auto" given, but the command line is not right: exit code 3, nothing else
    List,    // "/list" without "/auto": the serial ports with their adapters ("/json": JSON lines)
  };
  Mode mode = Mode::Normal;
  std::string port;                // Auto with one port: the port to choose, as written
  std::vector<std::string> ports;  // Auto: every port given, as written
  std::string log_path;            // empty: no log
  std::string summary_path;        // empty: no summary
  int place = 0, places = 0;       // "/place=K,N": the window's place K of N; 0: as designed
  std::string events;              // "/events=N": the channel's name; empty: none
  std::string problem;             // Bad: what is wrong, for the log
  bool json = false;               // List: JSON lines
};

// Switch names ("/auto", "/log", "/summary", "/place", "/events", "/help", "/list", "/json") are
// matched without regard to letter case; "/qv" only as the whole first argument, exactly. Without
// "/auto" anything else is ignored, as it always was; with it, an unknown or repeated argument, a
// bad port name, "/qv", "/?", "/help" or "/list" (a box that waits for a person) makes the line
// Bad.
CommandLine parse_command_line(int argc, char** argv);

// A port name the port list accepts: "COM" (any letter case) and a number 1..255 written
// without leading zeros, nothing more.
bool is_port_name(const std::string& name);

}  // namespace kx
