// The files an unattended run writes, checked before anything starts: the log and, with several
// ports, each port's log beside it (the names the devices' processes will be given), and the
// summary. Each must be a disk file (disk_file.hpp), and no two may be the same file: a log
// written into the summary would spoil its lines. The summary must also open for appending
// (check_summary_path, summary.hpp).
#pragma once

#include <string>
#include <vector>

#include "app/command_line.hpp"

namespace kx {

// One port of a run: its name as the log calls it, and the entry its own log is named after
// (port_log_path, supervisor.hpp).
struct PortLogName {
  std::string port;
  std::string entry;
};

// "" when every file the run writes may be written; else what is wrong, for the log. Empty paths
// are files the run does not write; the ports' logs are written only with several ports.
std::string record_paths_problem(const std::string& log_path, const std::vector<PortLogName>& ports,
                                 const std::string& summary_path);

// The Windows tool's run: each port's log is named after the port as given.
std::string record_paths_problem(const CommandLine& line);

}  // namespace kx
