// The update log's file: opened for appending, written with the system's own calls (no C
// library stream, so nothing at the process's exit waits for a write that hangs). One
// implementation per platform (log_file_win32.cpp, log_file_posix.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/pinned.hpp"

namespace kx {

// It owns the open file: never copied.
class LogFile : Pinned {
 public:
  virtual ~LogFile() = default;
  // Appends the bytes at the file's end; false when they could not all be written.
  virtual bool append(std::string_view bytes) = 0;
};

// Opens (or creates) the file for appending, shared with readers; nullptr when it cannot, or
// when the path is not a disk file (disk_file.hpp), by its name or by the handle opened.
std::unique_ptr<LogFile> open_log_file(const std::string& path);

// A file the system has open already (Windows: its HANDLE; POSIX: its descriptor) written as a
// log; with `owned` it is closed with the LogFile (the console uses this for its handles).
std::unique_ptr<LogFile> log_file_on(std::intptr_t native, bool owned);

}  // namespace kx
