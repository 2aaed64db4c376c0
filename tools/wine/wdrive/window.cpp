// The commands on a top-level window as a whole: does it answer, how many there are, close it
// and wait until it is gone, minimise and restore it, its shown state, and a port's arrival or
// removal broadcast to it, and freezing the process that owns it.
#include "wdrive.h"

#include <dbt.h>
#include <tlhelp32.h>

#include <algorithm>

namespace wdrive {

int cmd_ping(const std::wstring& spec) {
  HWND top = need_top(spec);
  if (!top) return 1;
  if (!send(top, WM_NULL, 0, 0, nullptr)) {
    err("the window does not answer");
    return 1;
  }
  out("answers");
  return 0;
}

int cmd_count(const std::wstring& spec) {
  out(std::to_string(search(spec, true).visible_count));
  return 0;
}

int cmd_close(const std::wstring& spec) {
  HWND top = need_top(spec);
  if (!top) return 1;
  if (!PostMessageW(top, WM_CLOSE, 0, 0)) {
    err("cannot post WM_CLOSE");
    return 1;
  }
  out("close requested at_epoch_ms=" + std::to_string(epoch_ms()));
  return 0;
}

int cmd_waitgone(const std::wstring& spec, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (find_top(spec, false)) {
    if (GetTickCount() - start >= timeout_ms) {
      err("window " + quoted(spec) + " still there");
      return 1;
    }
    Sleep(50);
  }
  out("gone after_ms=" + std::to_string(GetTickCount() - start));
  return 0;
}

int cmd_syscommand(const std::wstring& spec, bool minimize) {
  const FormAndButton f = find_form(spec);
  if (f.form == nullptr) return 1;
  HWND target = minimize ? f.form : f.button;
  if (!send(target, WM_SYSCOMMAND, minimize ? SC_MINIMIZE : SC_RESTORE, 0, nullptr)) {
    err("the window does not answer");
    return 1;
  }
  out(minimize ? "minimise sent to the form" : "restore sent to the taskbar button's window");
  return 0;
}

int cmd_showstate(const std::wstring& spec) {
  const FormAndButton f = find_form(spec);
  if (f.form == nullptr) return 1;
  auto flags = [](HWND w) {
    return "visible=" + std::to_string(IsWindowVisible(w) ? 1 : 0) +
           " iconic=" + std::to_string(IsIconic(w) ? 1 : 0);
  };
  out("form " + flags(f.form) + " taskbar " + flags(f.button));
  return 0;
}

int cmd_devicechange(const std::wstring& spec, const std::wstring& what, const std::wstring& port) {
  if (what != L"arrival" && what != L"removal") return 2;
  const FormAndButton f = find_form(spec);
  if (f.form == nullptr) return 1;
  // The port record with its name; the size covers the name and its terminator.
  std::vector<unsigned char> record(sizeof(DEV_BROADCAST_PORT_W) + port.size() * sizeof(wchar_t));
  auto* p = reinterpret_cast<DEV_BROADCAST_PORT_W*>(record.data());
  p->dbcp_size = static_cast<DWORD>(record.size());
  p->dbcp_devicetype = DBT_DEVTYP_PORT;
  std::copy(port.begin(), port.end(), p->dbcp_name);
  p->dbcp_name[port.size()] = L'\0';
  const WPARAM event = what == L"arrival" ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
  bool delivered = send(f.button, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(p), nullptr);
  if (f.form != f.button)
    delivered =
        send(f.form, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(p), nullptr) || delivered;
  if (!delivered) {
    err("the window does not answer");
    return 1;
  }
  out("device change sent: " + to_utf8(what) + " " + to_utf8(port));
  return 0;
}

}  // namespace wdrive

namespace wdrive {

// Every thread of the process that owns the window is suspended: a process that hangs in the
// system as a whole (it neither runs nor ends), as a driver call that never returns would make
// it.
int cmd_freeze(const std::wstring& spec) {
  HWND top = need_top(spec);
  if (!top) return 1;
  DWORD pid = 0;
  GetWindowThreadProcessId(top, &pid);
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) {
    err("no thread list");
    return 1;
  }
  int frozen = 0;
  THREADENTRY32 te{};
  te.dwSize = sizeof te;
  for (BOOL more = Thread32First(snap, &te); more; more = Thread32Next(snap, &te)) {
    if (te.th32OwnerProcessID != pid) continue;
    HANDLE t = OpenThread(THREAD_SUSPEND_RESUME, FALSE, te.th32ThreadID);
    if (t == nullptr) continue;
    if (SuspendThread(t) != static_cast<DWORD>(-1)) ++frozen;
    CloseHandle(t);
  }
  CloseHandle(snap);
  out("froze " + std::to_string(frozen) + " threads of process " + std::to_string(pid));
  return frozen > 0 ? 0 : 1;
}

}  // namespace wdrive
