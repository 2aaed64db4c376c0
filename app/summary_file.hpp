// The summary's file: every line appended under an exclusive lock of the file, so that the
// lines of processes that end together never interleave, whichever command started them. The
// file is opened for each line and closed after it. One implementation per platform
// (summary_file_win32.cpp, summary_file_posix.cpp).
#pragma once

#include <string>
#include <string_view>

namespace kx {

// Opens (or creates) the file, waits for its lock, appends `bytes` at its end and closes it.
// "" when every byte is written; else what went wrong. A path that is not a disk file (a
// device, a pipe, a folder) is refused and nothing is written.
std::string append_locked(const std::string& path, std::string_view bytes);

}  // namespace kx
