// The update log's file on POSIX systems: open with O_APPEND, write.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "app/disk_file.hpp"
#include "app/log_file.hpp"

namespace kx {

namespace {

class PosixLogFile final : public LogFile {
 public:
  PosixLogFile(int fd, bool owned) : fd_(fd), owned_(owned) {}
  ~PosixLogFile() override {
    if (owned_) ::close(fd_);
  }

  bool append(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

 private:
  int fd_;
  bool owned_;
};

}  // namespace

std::unique_ptr<LogFile> open_log_file(const std::string& path) {
  if (!disk_file_problem(path).empty()) return nullptr;
  // Without waiting: a pipe without a reader, or a device whose open blocks, fails at once.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {  // it changed since it was looked at
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, O_APPEND);
  return std::make_unique<PosixLogFile>(fd, true);
}

std::unique_ptr<LogFile> log_file_on(std::intptr_t native, bool owned) {
  return std::make_unique<PosixLogFile>(static_cast<int>(native), owned);
}

}  // namespace kx
