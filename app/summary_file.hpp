// The summary's file: every line appended under an exclusive lock of the file, so that the
// lines of processes that end together never interleave, whichever command started them. The
// file is opened for each line and closed after it. One implementation per platform
// (summary_file_win32.cpp, summary_file_posix.cpp).
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <thread>

namespace kx {

// How long a line waits for the lock another program holds (another run's line, a backup
// program, a stalled share) before it is given up as lost.
inline constexpr std::chrono::milliseconds kSummaryLockBound{10000};

// Opens (or creates) the file, waits for its lock (at most `lock_bound`; no bytes need no lock),
// appends `bytes` at its end and closes it. "" when every byte is written; else what went wrong.
// A path that is not a disk file (a device, a pipe, a folder) is refused and nothing is written.
// The lines stay whole: a write cut short (a full disk) is taken back, and a file that does not
// end with a line end (a part that could not be taken back) gets one before the new bytes.
std::string append_locked(const std::string& path, std::string_view bytes,
                          std::chrono::milliseconds lock_bound = kSummaryLockBound);

// Tries `take` (one attempt at the lock, never waiting) until it succeeds or `bound` has
// passed, resting a little between tries; true when it succeeded.
template <class Take>
bool take_within(std::chrono::milliseconds bound, Take take) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (;;) {
    if (take()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// What a line lost to the lock says.
inline std::string lock_not_taken(std::chrono::milliseconds bound) {
  const long long ms = bound.count();
  return "the file stayed locked by another program for " +
         (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms");
}

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
