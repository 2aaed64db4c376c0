// The commands on a window's controls: list them, choose a list item, click a button, read a
// control's state, wait for a text.
#include "wdrive.h"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>

namespace wdrive {

namespace {

// The position of the first progress bar, or -1 when there is none.
long progress_of(const std::vector<Control>& cs) {
  for (const Control& c : cs) {
    if (!same_class(c.cls, L"msctls_progress32")) continue;
    DWORD_PTR pos = 0;
    if (send(c.hwnd, PBM_GETPOS, 0, 0, &pos)) return static_cast<long>(pos);
  }
  return -1;
}

}  // namespace

int cmd_list(const std::wstring& spec) {
  HWND top = need_top(spec);
  if (!top) return 1;
  char head[96];
  std::snprintf(head, sizeof head, " visible=%d enabled=%d ", IsWindowVisible(top) ? 1 : 0,
                IsWindowEnabled(top) ? 1 : 0);
  out("window " + to_utf8(class_of(top)) + head + quoted(text_of(top)));
  for (const Control& c : controls_of(top)) {
    out(describe(c));
    if (same_class(c.cls, L"ComboBox")) {
      const auto items = combo_items(c.hwnd);
      for (std::size_t i = 0; i < items.size(); ++i) {
        out("  item " + std::to_string(i) + " " + quoted(items[i]));
      }
    }
  }
  return 0;
}

// The list fills from trial opens of the ports, off the window's thread and each bounded to 1 s:
// an item that is not there yet is waited for, as a person would, for up to 5 s.
int cmd_choose(const std::wstring& spec, const std::wstring& item) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND top = need_top(spec);
    if (!top) return 1;
    const Control* list = nullptr;
    const auto cs = controls_of(top);
    for (const Control& c : cs) {
      if (same_class(c.cls, L"ComboBox") && c.visible) {
        list = &c;
        break;
      }
    }
    if (!list) {
      err("no visible combo box");
      return 1;
    }
    if (!list->enabled || !IsWindowEnabled(top)) {
      err("the list is disabled");
      return 1;
    }
    const auto items = combo_items(list->hwnd);
    long index = -1;
    if (all_digits(item)) {
      index = std::wcstol(item.c_str(), nullptr, 10);
    } else {
      for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == item) index = static_cast<long>(i);
      }
    }
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
      if (GetTickCount() - start < 5000) {
        Sleep(20);
        continue;
      }
      std::string among;
      for (const std::wstring& it : items) among += " " + quoted(it);
      err("no item " + quoted(item) + " among " + std::to_string(items.size()) + ":" + among);
      return 1;
    }
    DWORD_PTR r = 0;
    if (!send(list->hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &r) ||
        static_cast<LONG_PTR>(r) != index) {
      err("the list refused the selection");
      return 1;
    }
    // What the list sends its parent when the user picks an item.
    HWND parent = GetAncestor(list->hwnd, GA_PARENT);
    const WPARAM wp = MAKEWPARAM(static_cast<WORD>(list->id), CBN_SELCHANGE);
    if (!PostMessageW(parent, WM_COMMAND, wp, reinterpret_cast<LPARAM>(list->hwnd))) {
      err("cannot notify the list's parent");
      return 1;
    }
    out("chose " + std::to_string(index) + " " + quoted(items[static_cast<std::size_t>(index)]) +
        " after_ms=" + std::to_string(GetTickCount() - start));
    return 0;
  }
}

int cmd_click(const std::wstring& spec, const std::wstring& what) {
  HWND top = need_top(spec);
  if (!top) return 1;
  const bool by_id = what.size() > 1 && what[0] == L'#' && all_digits(what.substr(1));
  const int id = by_id ? static_cast<int>(std::wcstol(what.c_str() + 1, nullptr, 10)) : 0;
  for (const Control& c : controls_of(top)) {
    if (!same_class(c.cls, L"Button") || !c.visible) continue;
    if (by_id ? c.id != id : c.text != what) continue;
    if (!c.enabled || !IsWindowEnabled(top)) {
      err("button " + quoted(c.text) + " is disabled");
      return 1;
    }
    // Posted, so that a click which ends the program does not leave us waiting.
    if (!PostMessageW(c.hwnd, BM_CLICK, 0, 0)) {
      err("cannot click");
      return 1;
    }
    out("clicked " + quoted(c.text) + " at_epoch_ms=" + std::to_string(epoch_ms()));
    return 0;
  }
  err("no visible button " + quoted(what));
  return 1;
}

int cmd_state(const std::wstring& spec, const std::wstring& text) {
  HWND top = need_top(spec);
  if (!top) return 1;
  const auto cs = controls_of(top);
  const Control* c = find_text(cs, text, true);
  if (!c) c = find_text(cs, text, false);
  if (!c) {
    err("no control shows " + quoted(text));
    return 1;
  }
  out(describe(*c));
  return 0;
}

// While waiting, the progress bar is watched too: the output tells when it last moved, which is
// when the tool last took an answer from the device.
int cmd_wait(const std::wstring& spec, const std::wstring& text, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  long progress = -1;
  long long progress_moved = 0;
  for (;;) {
    HWND top = find_top(spec, true);
    if (top) {
      const auto cs = controls_of(top);
      const long p = progress_of(cs);
      if (p >= 0 && p != progress) {
        progress = p;
        progress_moved = epoch_ms();
      }
      if (const Control* c = find_text(cs, text, true)) {
        std::string line = describe(*c) + " after_ms=" + std::to_string(GetTickCount() - start) +
                           " at_epoch_ms=" + std::to_string(epoch_ms());
        if (progress >= 0) {
          line += " progress=" + std::to_string(progress) +
                  " progress_moved_epoch_ms=" + std::to_string(progress_moved);
        }
        out(line);
        return 0;
      }
    }
    if (GetTickCount() - start >= timeout_ms) break;
    Sleep(20);
  }
  err("timed out waiting for " + quoted(text) + " in " + quoted(spec));
  if (HWND top = find_top(spec, false)) {
    for (const Control& c : controls_of(top)) err("  " + describe(c));
  }
  return 1;
}

}  // namespace wdrive
