// The update log: one line per step of a run, appended to a file the user names (and echoed on
// the parent's console), each line headed by the local time in ISO 8601. The file and the echo
// are each written on a thread of their own, so a slow or stalled file system never holds up the
// element thread and a blocked console never holds up the file; a log that cannot be opened or
// written is skipped: it never stops or changes an update.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/queued_writer.hpp"
#include "runtime/pinned.hpp"

namespace kx {

class LogFile;

class UpdateLog : Pinned {
 public:
  UpdateLog() = default;  // no file: lines go nowhere
  // `path` empty: no file. `echo`: where every line goes as well (the parent's console); none.
  explicit UpdateLog(std::string path, std::unique_ptr<LogFile> echo = nullptr);
  // Waits a bounded time for the lines to reach the file; a writer stuck in the file system
  // is left behind rather than waited for.
  ~UpdateLog();

  // Queues "<time> <text>" and a line end for the file; returns at once.
  void line(std::string_view text);

 private:
  // One queue and writer thread for each destination (app/queued_writer.hpp).
  std::vector<std::unique_ptr<QueuedWriter>> sinks_;
};

// "2026-12-07T16:40:12.345+03:00": local time with the offset from UTC. Element thread only
// (the C library's broken-down time is shared).
std::string iso8601_local(std::chrono::system_clock::time_point t);

}  // namespace kx
