#include "toolkit/win32/taskbar_win32.hpp"

#include <objbase.h>
#include <shobjidl.h>

namespace kx::win32 {

namespace {

// The shell's taskbar list, made once on the window thread; nullptr where there is none.
ITaskbarList3* taskbar_list() {
  static ITaskbarList3* list = [] {
    ITaskbarList3* made = nullptr;
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE) return made;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&made))) ||
        made == nullptr)
      return static_cast<ITaskbarList3*>(nullptr);
    if (FAILED(made->HrInit())) {
      made->Release();
      return static_cast<ITaskbarList3*>(nullptr);
    }
    return made;
  }();
  return list;
}

}  // namespace

void taskbar_progress(HWND button_window, TaskbarState state, int position, int max) {
  if (button_window == nullptr) return;
  ITaskbarList3* list = taskbar_list();
  if (list == nullptr) return;
  if (state != TaskbarState::None && max > 0 && position >= 0)
    list->SetProgressValue(button_window, static_cast<ULONGLONG>(position),
                           static_cast<ULONGLONG>(max));
  list->SetProgressState(button_window, state == TaskbarState::None    ? TBPF_NOPROGRESS
                                        : state == TaskbarState::Error ? TBPF_ERROR
                                                                       : TBPF_NORMAL);
}

}  // namespace kx::win32
