// The summary's file on POSIX systems: open with O_APPEND, flock (bounded), write (a write cut
// short is taken back with ftruncate), close.
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

std::string append_locked(const std::string& path, std::string_view bytes,
                          std::chrono::milliseconds lock_bound) {
  // Not blocking at the open: a pipe without a reader would wait for one.
  const int fd =
      ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
  if (fd < 0) return os_error("the file cannot be opened");
  struct stat st {};
  std::string problem;
  if (::fstat(fd, &st) != 0)
    problem = os_error("the file cannot be examined");
  else if (!S_ISREG(st.st_mode))
    problem = "not a disk file";
  if (problem.empty() && bytes.empty()) {
    ::close(fd);  // nothing to write: the file opens, and that is all that is asked
    return problem;
  }
  if (problem.empty()) {
    // Held by another: tried again until the bound. Any other refusal ends the tries.
    int error = 0;
    const bool over = take_within(lock_bound, [&] {
      error = ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
      return error != EWOULDBLOCK && error != EINTR;
    });
    errno = error;
    if (!over)
      problem = lock_not_taken(lock_bound);
    else if (error != 0)
      problem = os_error("the file cannot be locked");
  }
  const off_t size = problem.empty() ? ::lseek(fd, 0, SEEK_END) : -1;
  if (problem.empty() && size < 0) problem = os_error("the file's end cannot be found");
  char last = '\n';
  const bool has_last = size > 0 && ::pread(fd, &last, 1, size - 1) == 1;
  const std::string text = summary_detail::with_line_start(bytes, has_last, last);
  std::string_view left = text;
  while (problem.empty() && !left.empty()) {
    const std::size_t may = summary_detail::allowed(left.size());
    const ssize_t n = may == 0 ? (errno = ENOSPC, -1) : ::write(fd, left.data(), may);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) problem = os_error("the file cannot be written");
    if (n > 0) left.remove_prefix(static_cast<std::size_t>(n));
  }
  if (!problem.empty() && size >= 0 && left.size() < text.size() && ::ftruncate(fd, size) != 0)
    problem += "; the part written stays: " + os_error("it cannot be taken back");
  ::close(fd);  // the lock goes with it
  return problem;
}

}  // namespace kx
