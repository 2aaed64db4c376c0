// Finding another process's top-level windows by caption or class, and reading their controls.
#include "wdrive.h"

#include <cstdio>
#include <utility>

namespace wdrive {

namespace {

constexpr UINT kSendTimeoutMs = 3000;

BOOL CALLBACK find_top_cb(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<FindTop*>(lp);
  bool match = false;
  if (!f->cls.empty()) {
    match = _wcsicmp(class_of(w).c_str(), f->cls.c_str()) == 0;
  } else {
    wchar_t buf[512] = {};
    const int n = GetWindowTextW(w, buf, 512);
    match = f->caption == std::wstring(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  if (!match) return TRUE;
  if (IsWindowVisible(w)) {
    if (!f->visible) f->visible = w;
    ++f->visible_count;
    return f->count_all ? TRUE : FALSE;
  }
  if (!f->hidden) f->hidden = w;
  return TRUE;
}

BOOL CALLBACK collect_cb(HWND w, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
  return TRUE;
}

BOOL CALLBACK find_form_cb(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<std::pair<std::wstring, FormAndButton>*>(lp);
  wchar_t buf[512] = {};
  const int n = GetWindowTextW(w, buf, 512);
  if (f->first != std::wstring(buf, n > 0 ? static_cast<std::size_t>(n) : 0)) return TRUE;
  HWND owner = GetWindow(w, GW_OWNER);
  if (owner == nullptr && f->second.form != nullptr) return TRUE;
  f->second.form = w;
  f->second.button = owner != nullptr ? owner : w;
  return owner == nullptr ? TRUE : FALSE;
}

}  // namespace

bool send(HWND w, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result) {
  DWORD_PTR r = 0;
  const LRESULT ok = SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &r);
  if (result) *result = r;
  return ok != 0;
}

std::wstring class_of(HWND w) {
  wchar_t buf[256] = {};
  const int n = GetClassNameW(w, buf, 256);
  return std::wstring(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::wstring text_of(HWND w) {
  DWORD_PTR len = 0;
  if (!send(w, WM_GETTEXTLENGTH, 0, 0, &len)) return {};
  std::wstring buf(len + 1, L'\0');
  DWORD_PTR got = 0;
  if (!send(w, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(buf.data()), &got)) return {};
  buf.resize(got <= len ? got : len);
  return buf;
}

std::vector<std::wstring> combo_items(HWND combo) {
  std::vector<std::wstring> items;
  DWORD_PTR count = 0;
  if (!send(combo, CB_GETCOUNT, 0, 0, &count) || static_cast<LONG_PTR>(count) < 0) return items;
  for (DWORD_PTR i = 0; i < count; ++i) {
    DWORD_PTR len = 0;
    if (!send(combo, CB_GETLBTEXTLEN, i, 0, &len) || static_cast<LONG_PTR>(len) < 0) {
      items.emplace_back();
      continue;
    }
    std::wstring buf(len + 1, L'\0');
    DWORD_PTR got = 0;
    send(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf.data()), &got);
    buf.resize(static_cast<LONG_PTR>(got) >= 0 && got <= len ? got : 0);
    items.push_back(buf);
  }
  return items;
}

bool same_class(const std::wstring& a, const wchar_t* b) {
  return _wcsicmp(a.c_str(), b) == 0;
}

FindTop search(const std::wstring& spec, bool count_all) {
  FindTop f;
  if (spec.rfind(L"class:", 0) == 0) {
    f.cls = spec.substr(6);
  } else {
    f.caption = spec;
  }
  f.count_all = count_all;
  EnumWindows(find_top_cb, reinterpret_cast<LPARAM>(&f));
  return f;
}

HWND find_top(const std::wstring& spec, bool only_visible) {
  const FindTop f = search(spec, false);
  if (f.visible) return f.visible;
  return only_visible ? nullptr : f.hidden;
}

HWND need_top(const std::wstring& spec) {
  HWND top = find_top(spec, false);
  if (!top) err("no window " + quoted(spec));
  return top;
}

std::vector<Control> controls_of(HWND top) {
  std::vector<HWND> handles;
  EnumChildWindows(top, collect_cb, reinterpret_cast<LPARAM>(&handles));
  std::vector<Control> cs;
  for (HWND w : handles) {
    cs.push_back({w, class_of(w), GetDlgCtrlID(w), IsWindowVisible(w) != FALSE,
                  IsWindowEnabled(w) != FALSE, text_of(w)});
  }
  return cs;
}

std::string describe(const Control& c) {
  char head[96];
  std::snprintf(head, sizeof head, " id=%d visible=%d enabled=%d ", c.id, c.visible ? 1 : 0,
                c.enabled ? 1 : 0);
  return to_utf8(c.cls) + head + quoted(c.text);
}

const Control* find_text(const std::vector<Control>& cs, const std::wstring& text,
                         bool only_visible) {
  for (const Control& c : cs) {
    if (only_visible && !c.visible) continue;
    if (c.text.find(text) != std::wstring::npos) return &c;
  }
  return nullptr;
}

FormAndButton find_form(const std::wstring& caption) {
  std::pair<std::wstring, FormAndButton> f{caption, {}};
  EnumWindows(find_form_cb, reinterpret_cast<LPARAM>(&f));
  if (f.second.form == nullptr) err("no window " + quoted(caption));
  return f.second;
}

}  // namespace wdrive
