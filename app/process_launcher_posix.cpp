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

#include "app/line_buffer.hpp"
#include "app/process_launcher.hpp"

extern char** environ;

namespace kx {

namespace {

using Clock = std::chrono::steady_clock;

// How long a process that ended may still hold its channel open (a process it started).
constexpr auto kChannelGrace = std::chrono::seconds(1);
// How often the processes are looked at while their channels are quiet.
constexpr auto kLookEvery = std::chrono::milliseconds(20);

// The group of the processes started (0: none yet), for end_started_processes().
std::atomic<pid_t> g_group{0};

std::string os_error(int e) {
  return std::string(std::strerror(e)) + " (OS error " + std::to_string(e) + ")";
}

struct Child {
  pid_t pid = 0;
  int fd = -1;          // the channel's reading end; -1 once it is closed
  LineBuffer lines;
  bool ended = false, reported = false, forgotten = false;
  Clock::time_point ended_at{};
  ProcessEnd end;
};

class PosixLauncher final : public ProcessLauncher {
 public:
  explicit PosixLauncher(std::string program) : program_(std::move(program)) {}
  ~PosixLauncher() override {
    bool running = false;
    for (Child& c : children_) {
      if (c.fd >= 0) ::close(c.fd);
      running = running || !c.ended;
    }
    if (running && group_ > 0) ::kill(-group_, SIGKILL);
    for (Child& c : children_)
      if (!c.ended) ::waitpid(c.pid, nullptr, WNOHANG);
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
      e = posix_spawn(&pid, program_.c_str(), nullptr, &attr, argv.data(), environ);
      if (e == 0) group_ = 0;
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
    Child c;
    c.pid = pid;
    c.fd = ends[0];
    children_.push_back(std::move(c));
    return static_cast<int>(children_.size()) - 1;
  }

  ProcessNews wait(std::chrono::milliseconds bound) override {
    const Clock::time_point until = Clock::now() + bound;
    for (;;) {
      if (ProcessNews news; ready(news)) return news;
      const Clock::time_point now = Clock::now();
      if (now >= until) return {ProcessNews::Kind::Quiet, -1, {}, {}};
      look_at_ends(now);
      if (ProcessNews news; ready(news)) return news;
      read_channels(std::min<Clock::duration>(until - now, kLookEvery));
    }
  }

  void end(int id) override {
    Child& c = children_.at(static_cast<std::size_t>(id));
    if (!c.ended) ::kill(c.pid, SIGKILL);
  }

  void forget(int id) override {
    Child& c = children_.at(static_cast<std::size_t>(id));
    c.forgotten = true;
    if (c.fd >= 0) ::close(c.fd);
    c.fd = -1;
  }

 private:
  // A whole line, else an end whose channel is closed, else none left.
  bool ready(ProcessNews& news) {
    bool waiting = false;
    for (std::size_t i = 0; i < children_.size(); ++i) {
      Child& c = children_[i];
      if (c.reported || c.forgotten) continue;
      if (c.lines.next(news.line)) {
        news.kind = ProcessNews::Kind::Line;
        news.id = static_cast<int>(i);
        return true;
      }
      if (c.ended && c.fd < 0) {
        c.reported = true;
        news.kind = ProcessNews::Kind::Ended;
        news.id = static_cast<int>(i);
        news.end = c.end;
        news.end.id = news.id;
        return true;
      }
      waiting = true;
    }
    if (waiting) return false;
    news.kind = ProcessNews::Kind::None;
    return true;
  }

  void close_channel(Child& c) {
    if (c.fd >= 0) ::close(c.fd);
    c.fd = -1;
    c.lines.cut();
  }

  void look_at_ends(Clock::time_point now) {
    for (Child& c : children_) {
      if (c.forgotten) continue;
      if (!c.ended) {
        int status = 0;
        const pid_t r = ::waitpid(c.pid, &status, WNOHANG);
        if (r == 0 || (r < 0 && errno == EINTR)) continue;
        c.ended = true;
        c.ended_at = now;
        c.end.exited = r > 0 && WIFEXITED(status);
        c.end.code = r < 0 ? -1 : c.end.exited ? WEXITSTATUS(status) : WTERMSIG(status);
      } else if (c.fd >= 0 && now - c.ended_at > kChannelGrace) {
        close_channel(c);
      }
    }
  }

  void read_channels(Clock::duration bound) {
    std::vector<pollfd> fds;
    std::vector<Child*> of;
    for (Child& c : children_) {
      if (c.fd < 0 || c.forgotten) continue;
      fds.push_back({c.fd, POLLIN, 0});
      of.push_back(&c);
    }
    const int ms = static_cast<int>(
        std::chrono::ceil<std::chrono::milliseconds>(bound).count());
    if (fds.empty()) {
      ::poll(nullptr, 0, ms);
      return;
    }
    if (::poll(fds.data(), fds.size(), ms) <= 0) return;
    for (std::size_t i = 0; i < fds.size(); ++i)
      if (fds[i].revents != 0) read_channel(*of[i]);
  }

  void read_channel(Child& c) {
    char buf[4096];
    for (;;) {
      const ssize_t n = ::read(c.fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      if (n <= 0) {
        close_channel(c);
        return;
      }
      c.lines.take(std::string_view(buf, static_cast<std::size_t>(n)));
    }
  }

  std::string program_;
  std::vector<Child> children_;
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
