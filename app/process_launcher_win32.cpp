// Processes on Windows: CreateProcessW with the program's own path, each in the launcher's job
// (closed with the launcher, or with this process however it ends: the job then ends them),
// an anonymous pipe per process looked at with PeekNamedPipe, and a wait on their handles.
// The channels are looked at, not read by threads of their own: nothing here can hang in a read.
#include <windows.h>

#include <mutex>

#include "app/channel_launcher.hpp"
#include "app/utf8_win32.hpp"

namespace kx {

namespace {

// One argument as the C runtime's command-line parser reads it back: quoted when it holds a
// blank, a tab or a quote (or is empty), backslashes doubled where they precede a quote.
void append_argument(std::wstring& line, const std::wstring& arg) {
  if (!line.empty()) line += L' ';
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

// The exit code of a process ended by the launcher or by end_started_processes().
constexpr UINT kEndedCode = 0xC000013A;  // as a process ended by Ctrl+C

// Every job of the launchers alive, for end_started_processes().
std::mutex g_jobs_mutex;
std::vector<HANDLE> g_jobs;

HANDLE make_job() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_jobs_mutex);
  g_jobs.push_back(job);
  return job;
}

class Win32Launcher final : public ChannelLauncher {
 public:
  explicit Win32Launcher(std::wstring program) : program_(std::move(program)), job_(make_job()) {}
  ~Win32Launcher() override {
    for (std::size_t i = 0; i < children_.size(); ++i) {
      close_channel(i);
      if (processes_[i] != nullptr) CloseHandle(processes_[i]);
    }
    if (job_ != nullptr) {
      {
        std::lock_guard<std::mutex> lock(g_jobs_mutex);
        std::erase(g_jobs, job_);
      }
      CloseHandle(job_);  // ends the processes still in it
    }
  }

  int start(const ArgumentsFor& args_for, std::string& problem) override {
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, nullptr, 0)) {
      problem = "no channel: OS error " + std::to_string(GetLastError());
      return -1;
    }
    // Only this process gets the writing end, and the first process keeps none of it: the
    // processes start one at a time, and the end is closed right after.
    SetHandleInformation(write_end, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    const auto value = static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(write_end));
    std::wstring line;
    append_argument(line, program_);
    for (const std::string& a : args_for(std::to_string(value))) append_argument(line, to_utf16(a));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessW(program_.c_str(), line.data(), nullptr, nullptr, TRUE,
                                        CREATE_SUSPENDED, nullptr, nullptr, &si, &pi);
    const DWORD error = GetLastError();
    CloseHandle(write_end);
    if (!started) {
      CloseHandle(read_end);
      problem = "OS error " + std::to_string(error);
      return -1;
    }
    // A job that cannot take it (an older system where this process's own job forbids it):
    // the process runs untied, as before.
    if (job_ != nullptr) AssignProcessToJobObject(job_, pi.hProcess);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    children_.emplace_back();
    processes_.push_back(pi.hProcess);
    channels_.push_back(read_end);
    return static_cast<int>(children_.size()) - 1;
  }

  void end(int id) override {
    const auto i = static_cast<std::size_t>(id);
    if (!children_.at(i).ended) TerminateProcess(processes_[i], kEndedCode);
  }

 private:
  void look_at_ends() override {
    for (std::size_t i = 0; i < children_.size(); ++i) {
      if (children_[i].ended || children_[i].forgotten) continue;
      if (WaitForSingleObject(processes_[i], 0) != WAIT_OBJECT_0) continue;
      DWORD code = 0;
      if (!GetExitCodeProcess(processes_[i], &code)) code = 0xFFFFFFFFu;
      mark_ended(i, true, static_cast<long long>(code));
    }
  }

  // Reads what each channel holds; then waits for a process's end at most `most`.
  void listen(Clock::duration most) override {
    bool took = false;
    for (std::size_t i = 0; i < children_.size(); ++i) {
      if (!children_[i].channel_open) continue;
      for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(channels_[i], nullptr, 0, nullptr, &available, nullptr)) {
          close_channel(i);  // the writer is gone: every byte it wrote was read
          break;
        }
        if (available == 0) break;
        char buf[4096];
        DWORD n = 0;
        const DWORD want = available < sizeof buf ? available : sizeof buf;
        if (!ReadFile(channels_[i], buf, want, &n, nullptr) || n == 0) {
          close_channel(i);
          break;
        }
        children_[i].lines.take(std::string_view(buf, n));
        took = true;
      }
    }
    if (took) return;
    std::vector<HANDLE> running;
    for (std::size_t i = 0; i < children_.size() && running.size() < MAXIMUM_WAIT_OBJECTS; ++i)
      if (!children_[i].ended && !children_[i].forgotten) running.push_back(processes_[i]);
    const auto ms = static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(most).count());
    if (running.empty())
      Sleep(ms);
    else
      WaitForMultipleObjects(static_cast<DWORD>(running.size()), running.data(), FALSE, ms);
  }

  void close_channel_of(std::size_t i) override { CloseHandle(channels_[i]); }

  std::wstring program_;
  HANDLE job_;
  std::vector<HANDLE> processes_;
  std::vector<HANDLE> channels_;  // each channel's reading end
};

}  // namespace

std::unique_ptr<ProcessLauncher> make_process_launcher(const std::string& program) {
  std::wstring path = to_utf16(program);
  if (path.empty()) {
    std::wstring buf(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    buf.resize(n);
    path = buf;
  }
  return std::make_unique<Win32Launcher>(std::move(path));
}

void end_started_processes() {
  std::lock_guard<std::mutex> lock(g_jobs_mutex);
  for (HANDLE job : g_jobs) TerminateJobObject(job, kEndedCode);
}

void end_started_processes_on_signals() {}

}  // namespace kx
