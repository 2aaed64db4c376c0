// The update log: one line per step of a run, appended to a file the user names, each line
// headed by the local time in ISO 8601. The file is opened and written on a thread of its own,
// so a slow or stalled file system never holds up the element thread; a log that cannot be
// opened or written is skipped: it never stops or changes an update.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

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
  struct Shared;  // the queue the writer thread takes the lines from
  static void write_lines(std::shared_ptr<Shared> shared, std::string path,
                          std::shared_ptr<LogFile> echo);

  std::shared_ptr<Shared> shared_;
};

// "2026-12-07T16:40:12.345+03:00": local time with the offset from UTC. Element thread only
// (the C library's broken-down time is shared).
std::string iso8601_local(std::chrono::system_clock::time_point t);

}  // namespace kx
