// The files an unattended run writes, checked before anything starts: the log and, with several
// ports, each port's log beside it (the names the devices' processes will be given), and the
// summary. Each must be a disk file (disk_file.hpp), and no two may be the same file: a log
// written into the summary would spoil its lines.
#pragma once

#include <string>

#include "app/command_line.hpp"

namespace kx {

// "" when every file the run writes may be written; else what is wrong, for the log.
std::string record_paths_problem(const CommandLine& line);

}  // namespace kx
