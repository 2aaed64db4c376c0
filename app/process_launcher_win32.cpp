// Processes on Windows: CreateProcessW with the program's own path, and one wait on all their
// handles.
#include <windows.h>

#include "app/process_launcher.hpp"

namespace kx {

namespace {

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

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

class Win32Launcher final : public ProcessLauncher {
 public:
  explicit Win32Launcher(std::wstring program) : program_(std::move(program)) {}
  ~Win32Launcher() override {
    for (HANDLE h : handles_)
      if (h != nullptr) CloseHandle(h);
  }

  int start(const std::vector<std::string>& args, std::string& problem) override {
    std::wstring line;
    append_argument(line, program_);
    for (const std::string& a : args) append_argument(line, wide(a));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program_.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
      problem = "OS error " + std::to_string(GetLastError());
      return -1;
    }
    CloseHandle(pi.hThread);
    handles_.push_back(pi.hProcess);
    return static_cast<int>(handles_.size()) - 1;
  }

  ProcessEnd wait_any() override {
    std::vector<HANDLE> waiting;
    std::vector<int> ids;
    for (std::size_t i = 0; i < handles_.size(); ++i) {
      if (handles_[i] == nullptr) continue;
      waiting.push_back(handles_[i]);
      ids.push_back(static_cast<int>(i));
    }
    if (waiting.empty()) return {};
    const DWORD r =
        WaitForMultipleObjects(static_cast<DWORD>(waiting.size()), waiting.data(), FALSE, INFINITE);
    std::size_t at = 0;
    if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + waiting.size())
      at = r - WAIT_OBJECT_0;
    else
      WaitForSingleObject(waiting[0], INFINITE);  // the wait failed: one process at a time
    ProcessEnd end;
    end.id = ids[at];
    DWORD code = 0;
    if (!GetExitCodeProcess(waiting[at], &code)) code = 0xFFFFFFFFu;
    end.code = static_cast<long long>(code);
    CloseHandle(waiting[at]);
    handles_[static_cast<std::size_t>(end.id)] = nullptr;
    return end;
  }

 private:
  std::wstring program_;
  std::vector<HANDLE> handles_;  // nullptr once reported
};

}  // namespace

std::unique_ptr<ProcessLauncher> make_process_launcher(const std::string& program) {
  std::wstring path = wide(program);
  if (path.empty()) {
    std::wstring buf(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    buf.resize(n);
    path = buf;
  }
  return std::make_unique<Win32Launcher>(std::move(path));
}

}  // namespace kx
