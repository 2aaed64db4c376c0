// The summary's file on Windows: CreateFileW, LockFileEx over the whole file (bounded), write at
// its end (a write cut short is taken back with SetEndOfFile), close.
#include <windows.h>

#include "app/summary_file.hpp"
#include "app/utf8_win32.hpp"

namespace kx {

namespace {

std::string os_error(const char* what) {
  return std::string(what) + " (OS error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

std::string append_locked(const std::string& path, std::string_view bytes,
                          std::chrono::milliseconds lock_bound) {
  HANDLE h = CreateFileW(to_utf16(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return os_error("the file cannot be opened");
  std::string problem;
  OVERLAPPED whole{};
  bool locked = false;
  if (GetFileType(h) != FILE_TYPE_DISK) problem = "not a disk file";
  if (problem.empty() && bytes.empty()) {
    CloseHandle(h);  // nothing to write: the file opens, and that is all that is asked
    return problem;
  }
  if (problem.empty()) {
    // Held by another: tried again until the bound. Any other refusal ends the tries.
    DWORD error = 0;
    const bool over = take_within(lock_bound, [&] {
      error = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                         MAXDWORD, &whole)
                  ? 0
                  : GetLastError();
      return error != ERROR_LOCK_VIOLATION;
    });
    SetLastError(error);
    if (!over)
      problem = lock_not_taken(lock_bound);
    else if (error != 0)
      problem = os_error("the file cannot be locked");
    else
      locked = true;
  }
  LARGE_INTEGER size{};
  if (problem.empty() && !GetFileSizeEx(h, &size))
    problem = os_error("the file's end cannot be found");
  char last = '\n';
  bool has_last = false;
  if (problem.empty() && size.QuadPart > 0) {
    LARGE_INTEGER at{};
    at.QuadPart = size.QuadPart - 1;
    DWORD n = 0;
    has_last = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && ReadFile(h, &last, 1, &n, nullptr) &&
               n == 1;
  }
  if (problem.empty() && !SetFilePointerEx(h, size, nullptr, FILE_BEGIN))
    problem = os_error("the file's end cannot be found");
  const std::string text = summary_detail::with_line_start(bytes, has_last, last);
  std::string_view left = text;
  while (problem.empty() && !left.empty()) {
    const std::size_t may = summary_detail::allowed(left.size());
    DWORD n = 0;
    if (may == 0) {
      SetLastError(ERROR_DISK_FULL);
    } else if (WriteFile(h, left.data(), static_cast<DWORD>(may), &n, nullptr) && n > 0) {
      left.remove_prefix(n);
      continue;
    }
    problem = os_error("the file cannot be written");
  }
  if (!problem.empty() && left.size() < text.size() &&
      !(SetFilePointerEx(h, size, nullptr, FILE_BEGIN) && SetEndOfFile(h)))
    problem += "; the part written stays: " + os_error("it cannot be taken back");
  if (locked) {
    OVERLAPPED again{};
    UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &again);
  }
  CloseHandle(h);
  return problem;
}

}  // namespace kx
