// The station's run of its ports: what the operator sees of it, and where each device's update
// runs (in this process for one port, one process per port for several).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kx {

class LogFile;
class RunEventSink;
class SignalWatch;
struct StationPort;

struct StationOutput {
  std::string log_path;      // empty: no log
  std::string summary_path;  // empty: no summary
  int human_fd = 1;          // the operator's text: standard output, standard error with --json
  bool live = false;         // that text as one live line per port (it is a terminal)
  bool echo = false;         // the log's lines to it, each headed by its port (not a terminal)
};

// The log's lines as the operator's text on Linux: each headed by `prefix`, "\n" alone ending
// a line (station.cpp).
std::unique_ptr<LogFile> operator_lines(int fd, const std::string& prefix);

// "start: kxflash 1.1.0, image 130048 bytes, CRC-16 1090, " and `what` (station.cpp).
std::string station_start_line(const std::string& what);

// One device, updated in this process; its events to `events` (station.cpp).
int run_device(const StationOutput& out, const StationPort& port, RunEventSink& events,
               SignalWatch& signals);

// Every port given, with the live lines and the JSON lines (`json`) of their events; the exit
// code of the whole run.
int run_station_ports(const StationOutput& out, bool json, const std::vector<StationPort>& ports,
                      SignalWatch& signals);

}  // namespace kx
