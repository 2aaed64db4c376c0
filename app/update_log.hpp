// The update log: one line per step of a run, appended to a file the user names, each line
// headed by the local time in ISO 8601. A log that cannot be opened or written is skipped:
// it never stops or changes an update.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace kx {

class UpdateLog {
 public:
  UpdateLog() = default;  // no file: lines go nowhere
  explicit UpdateLog(const std::string& path);
  ~UpdateLog();
  UpdateLog(const UpdateLog&) = delete;
  UpdateLog& operator=(const UpdateLog&) = delete;

  bool is_open() const { return file_ != nullptr; }
  // Writes "<time> <text>" and a line end, and hands the line to the system at once, so that
  // what was written survives however the program ends.
  void line(std::string_view text);

 private:
  std::FILE* file_ = nullptr;
};

// "2026-12-07T16:40:12.345+03:00": local time with the offset from UTC. Element thread only
// (the C library's broken-down time is shared).
std::string iso8601_local(std::chrono::system_clock::time_point t);

// Bytes as readable text: printable ASCII and bytes from 0x80 up as they are, a quote and a
// backslash escaped, line ends and tabs as \r \n \t, every other byte as \xNN.
std::string printable(std::string_view bytes);

}  // namespace kx
