// The summary's file on POSIX systems: open with O_APPEND, flock, write, close.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/summary_file.hpp"

namespace kx {

namespace {

std::string os_error(const char* what) {
  return std::string(what) + ": " + std::strerror(errno) + " (OS error " + std::to_string(errno) +
         ")";
}

}  // namespace

std::string append_locked(const std::string& path, std::string_view bytes) {
  // Not blocking at the open: a pipe without a reader would wait for one.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
  if (fd < 0) return os_error("the file cannot be opened");
  struct stat st {};
  std::string problem;
  if (::fstat(fd, &st) != 0)
    problem = os_error("the file cannot be examined");
  else if (!S_ISREG(st.st_mode))
    problem = "not a disk file";
  else if (::flock(fd, LOCK_EX) != 0)
    problem = os_error("the file cannot be locked");
  while (problem.empty() && !bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) problem = os_error("the file cannot be written");
    if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  ::close(fd);  // the lock goes with it
  return problem;
}

}  // namespace kx
