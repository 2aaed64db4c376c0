// Starting the tool's own program again for one device of a run of several, and waiting for
// the copies to end. One implementation per platform (process_launcher_win32.cpp with
// CreateProcessW and wait handles, process_launcher_posix.cpp with posix_spawn and waitpid).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runtime/pinned.hpp"

namespace kx {

// How a started process ended.
struct ProcessEnd {
  int id = -1;         // what start() returned for it
  bool exited = true;  // false: killed by a signal (POSIX)
  long long code = 0;  // the exit code (Windows: the process's whole exit code); the signal
};

// It owns the processes it started: never copied. The destructor waits for none of them.
class ProcessLauncher : Pinned {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts the program with `args` (without the program itself); an id from 0 up, or -1 with
  // `problem` set when it could not start.
  virtual int start(const std::vector<std::string>& args, std::string& problem) = 0;
  // Waits until one of the started processes that has not been reported yet ends and reports
  // it; id -1 when none is left.
  virtual ProcessEnd wait_any() = 0;
};

// A launcher of `program`; an empty name: the running program itself.
std::unique_ptr<ProcessLauncher> make_process_launcher(const std::string& program = {});

}  // namespace kx
