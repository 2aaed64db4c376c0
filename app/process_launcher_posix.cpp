// Processes on POSIX systems: posix_spawn, and waitpid on each started process in turn.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "app/process_launcher.hpp"

extern char** environ;

namespace kx {

namespace {

class PosixLauncher final : public ProcessLauncher {
 public:
  explicit PosixLauncher(std::string program) : program_(std::move(program)) {}

  int start(const std::vector<std::string>& args, std::string& problem) override {
    std::vector<std::string> all = {program_};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int e = posix_spawn(&pid, program_.c_str(), nullptr, nullptr, argv.data(), environ);
    if (e != 0) {
      problem = std::string(std::strerror(e)) + " (OS error " + std::to_string(e) + ")";
      return -1;
    }
    pids_.push_back(pid);
    return static_cast<int>(pids_.size()) - 1;
  }

  ProcessEnd wait_any() override {
    for (;;) {
      bool left = false;
      for (std::size_t i = 0; i < pids_.size(); ++i) {
        if (pids_[i] <= 0) continue;
        left = true;
        int status = 0;
        const pid_t r = ::waitpid(pids_[i], &status, WNOHANG);
        if (r == 0 || (r < 0 && errno == EINTR)) continue;
        pids_[i] = 0;
        ProcessEnd end;
        end.id = static_cast<int>(i);
        end.exited = r > 0 && WIFEXITED(status);
        end.code = r < 0 ? -1 : end.exited ? WEXITSTATUS(status) : WTERMSIG(status);
        return end;
      }
      if (!left) return {};
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

 private:
  std::string program_;
  std::vector<pid_t> pids_;  // 0 once reported
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

}  // namespace kx
