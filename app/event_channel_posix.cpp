// The channel on POSIX systems: an inherited pipe's writing end, by its descriptor number.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "app/event_channel.hpp"

namespace kx {

namespace {

class PipeWriter final : public ChannelWriter {
 public:
  explicit PipeWriter(int fd) : fd_(fd) {}
  ~PipeWriter() override { ::close(fd_); }

  bool append(std::string_view line) override {
    while (!line.empty() && fd_ >= 0) {
      const ssize_t n = ::write(fd_, line.data(), line.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;  // the reader is gone
      line.remove_prefix(static_cast<std::size_t>(n));
    }
    return fd_ >= 0;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<ChannelWriter> open_channel(const std::string& name, std::string& problem) {
  unsigned long long n = 0;
  struct stat st {};
  // 0, 1 and 2 are the standard streams, never the channel.
  if (!parse_channel_name(name, INT_MAX, n) || n < 3 || ::fstat(static_cast<int>(n), &st) != 0 ||
      !S_ISFIFO(st.st_mode) || (::fcntl(static_cast<int>(n), F_GETFL) & O_ACCMODE) == O_RDONLY) {
    problem = "/events does not name an inherited pipe: " + name;
    return nullptr;
  }
  const int fd = static_cast<int>(n);
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  // A first process that is gone must not end this one with its device half written.
  ::signal(SIGPIPE, SIG_IGN);
  return std::make_unique<PipeWriter>(fd);
}

}  // namespace kx
