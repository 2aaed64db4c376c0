// Processes on POSIX systems: posix_spawn into one process group, a pipe per process read with
// poll, and waitpid on each process in turn.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "app/channel_launcher.hpp"

extern char** environ;

namespace kx {

namespace {

// The group of the processes started (0: none yet), for end_started_processes().
std::atomic<pid_t> g_group{0};

std::string os_error(int e) {
  return std::string(std::strerror(e)) + " (OS error " + std::to_string(e) + ")";
}

class PosixLauncher final : public ChannelLauncher {
 public:
  explicit PosixLauncher(std::string program) : program_(std::move(program)) {}
  ~PosixLauncher() override {
    bool running = false;
    for (std::size_t i = 0; i < children_.size(); ++i) {
      close_channel(i);
      running = running || !children_[i].ended;
    }
    if (running && group_ > 0) ::kill(-group_, SIGKILL);
  }

  int start(const ArgumentsFor& args_for, std::string& problem) override {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
      problem = "no channel: " + os_error(errno);
      return -1;
    }
    // Only this process gets the writing end, and the first process keeps none of it.
    ::fcntl(ends[1], F_SETFD, 0);
    std::vector<std::string> all = {program_};
    for (std::string& a : args_for(std::to_string(ends[1]))) all.push_back(std::move(a));
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, group_);  // 0: the first process begins the group
    pid_t pid = 0;
    int e = posix_spawn(&pid, program_.c_str(), nullptr, &attr, argv.data(), environ);
    if (e == EPERM && group_ > 0) {
      // The group is gone (every process of it ended and was reaped): begin another.
      posix_spawnattr_setpgroup(&attr, 0);
      group_ = 0;
      e = posix_spawn(&pid, program_.c_str(), nullptr, &attr, argv.data(), environ);
    }
    posix_spawnattr_destroy(&attr);
    ::close(ends[1]);
    if (e != 0) {
      ::close(ends[0]);
      problem = os_error(e);
      return -1;
    }
    if (group_ == 0) {
      group_ = pid;
      g_group.store(pid);
    }
    ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    children_.emplace_back();
    pids_.push_back(pid);
    fds_.push_back(ends[0]);
    return static_cast<int>(children_.size()) - 1;
  }

  void end(int id) override {
    const auto i = static_cast<std::size_t>(id);
    if (!children_.at(i).ended) ::kill(pids_[i], SIGKILL);
  }

 private:
  void look_at_ends() override {
    for (std::size_t i = 0; i < children_.size(); ++i) {
      if (children_[i].ended || children_[i].forgotten) continue;
      int status = 0;
      const pid_t r = ::waitpid(pids_[i], &status, WNOHANG);
      if (r == 0 || (r < 0 && errno == EINTR)) continue;
      const bool exited = r > 0 && WIFEXITED(status);
      mark_ended(i, exited, r < 0 ? -1 : exited ? WEXITSTATUS(status) : WTERMSIG(status));
    }
  }

  void listen(Clock::duration most) override {
    std::vector<pollfd> fds;
    std::vector<std::size_t> of;
    for (std::size_t i = 0; i < children_.size(); ++i) {
      if (!children_[i].channel_open) continue;
      fds.push_back({fds_[i], POLLIN, 0});
      of.push_back(i);
    }
    const auto ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(most).count());
    if (::poll(fds.data(), fds.size(), ms) <= 0) return;
    for (std::size_t k = 0; k < fds.size(); ++k)
      if (fds[k].revents != 0) read_channel(of[k]);
  }

  void read_channel(std::size_t i) {
    char buf[4096];
    for (;;) {
      const ssize_t n = ::read(fds_[i], buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      if (n <= 0) {
        close_channel(i);
        return;
      }
      children_[i].lines.take(std::string_view(buf, static_cast<std::size_t>(n)));
    }
  }

  void close_channel_of(std::size_t i) override { ::close(fds_[i]); }

  std::string program_;
  std::vector<pid_t> pids_;
  std::vector<int> fds_;  // each channel's reading end
  pid_t group_ = 0;
};

}  // namespace

std::unique_ptr<ProcessLauncher> make_process_launcher(const std::string& program) {
  std::string path = program;
  if (path.empty()) {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) path.assign(buf, static_cast<std::size_t>(n));
  }
  return std::make_unique<PosixLauncher>(std::move(path));
}

void end_started_processes() {
  const pid_t group = g_group.load();
  if (group > 0) ::kill(-group, SIGTERM);
}

void end_started_processes_on_signals() {
  struct sigaction action {};
  action.sa_handler = [](int) {
    const int saved = errno;
    end_started_processes();
    errno = saved;
  };
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace kx
