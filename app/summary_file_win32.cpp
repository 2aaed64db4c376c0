// The summary's file on Windows: CreateFileA, LockFileEx over the whole file, write at its
// end, close.
#include <windows.h>

#include "app/summary_file.hpp"

namespace kx {

namespace {

std::string os_error(const char* what) {
  return std::string(what) + " (OS error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

std::string append_locked(const std::string& path, std::string_view bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return os_error("the file cannot be opened");
  std::string problem;
  OVERLAPPED whole{};
  bool locked = false;
  if (GetFileType(h) != FILE_TYPE_DISK)
    problem = "not a disk file";
  else if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
    problem = os_error("the file cannot be locked");
  else
    locked = true;
  LARGE_INTEGER zero{};
  if (problem.empty() && !SetFilePointerEx(h, zero, nullptr, FILE_END))
    problem = os_error("the file's end cannot be found");
  while (problem.empty() && !bytes.empty()) {
    DWORD n = 0;
    if (!WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) || n == 0)
      problem = os_error("the file cannot be written");
    bytes.remove_prefix(n);
  }
  if (locked) {
    OVERLAPPED again{};
    UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &again);
  }
  CloseHandle(h);
  return problem;
}

}  // namespace kx
