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
// device, a pipe, a folder) is refused and nothing is written. The lines stay whole: a write
// cut short (a full disk) is taken back, and a file that does not end with a line end (a
// part that could not be taken back) gets one before the new bytes.
std::string append_locked(const std::string& path, std::string_view bytes);

namespace summary_testing {
// Tests: the appends from now on write `bytes` bytes in all, then fail as a full disk does;
// a negative count: no limit.
void fail_writes_after(long long bytes);
}  // namespace summary_testing

namespace summary_detail {
// Platform files: how many of `wanted` bytes a write may take (all, but for a test's limit);
// 0: the write fails as a full disk does.
std::size_t allowed(std::size_t wanted);
// The bytes to write for `bytes` onto a file whose last byte is `last` (none: empty file).
std::string with_line_start(std::string_view bytes, bool has_last, char last);
}  // namespace summary_detail

}  // namespace kx
