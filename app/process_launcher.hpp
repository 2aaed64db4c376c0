// Starting the tool's own program again for one device of a run of several, hearing what each
// copy writes to its channel, and waiting for the copies to end. One implementation per
// platform (process_launcher_win32.cpp: CreateProcessW, an anonymous pipe per process looked at
// with PeekNamedPipe, a job object that ends the processes with the launcher;
// process_launcher_posix.cpp: posix_spawn, a pipe per process read with poll, one process
// group for them all).
#pragma once

#include <chrono>
#include <functional>
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

// What a wait saw: one line a process wrote to its channel, the end of a process (after every
// whole line it wrote), nothing within the bound, or no process left to wait for.
struct ProcessNews {
  enum class Kind { Line, Ended, Quiet, None };
  Kind kind = Kind::None;
  int id = -1;
  std::string line;  // Line: without its line end
  ProcessEnd end;    // Ended
};

// A process's arguments (without the program itself), given the text that names its channel
// to it: a descriptor number (POSIX) or a handle value (Windows), in decimal. Lines the process
// writes there, each ending with "\n", come back from wait() (app/line_buffer.hpp).
using ArgumentsFor = std::function<std::vector<std::string>(const std::string& channel)>;

// It owns the processes it started: never copied. Its end ends those still running (POSIX:
// the process group; Windows: the job closes) and waits for none of them.
class ProcessLauncher : Pinned {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts the program; an id from 0 up, or -1 with `problem` set when it could not start.
  virtual int start(const ArgumentsFor& args, std::string& problem) = 0;
  // Waits at most `bound` for news of the started processes not yet reported ended.
  virtual ProcessNews wait(std::chrono::milliseconds bound) = 0;
  // Ends a started process by force; its end is reported by wait() as any other.
  virtual void end(int id) = 0;
  // Gives up a process that did not end when told: wait() no longer waits for it.
  virtual void forget(int id) = 0;
};

// A launcher of `program`; an empty name: the running program itself.
std::unique_ptr<ProcessLauncher> make_process_launcher(const std::string& program = {});

// Ends every process the launchers of this process started that still runs (POSIX: a SIGTERM
// to their process group, async-signal-safe, for a handler of SIGINT or SIGTERM; Windows:
// every job is terminated). Their ends are then reported by wait() as any other.
void end_started_processes();

// POSIX: SIGINT and SIGTERM to this process end the started processes (end_started_processes)
// and nothing else: the supervisor goes on to record them. Windows: nothing (the job object
// ends them with this process).
void end_started_processes_on_signals();

}  // namespace kx
