// wdrive: drives a top-level window of another process by its caption, as a user would.
//
//   wdrive list     WINDOW                     controls with class, id, state and text
//   wdrive choose   WINDOW INDEX|ITEMTEXT      selects a combo-box item, notifies the parent
//   wdrive click    WINDOW BUTTONTEXT|#ID      clicks a visible, enabled button
//   wdrive state    WINDOW TEXT                visibility and enabled state of a control
//   wdrive wait     WINDOW TEXT TIMEOUT_MS     waits until a visible control shows TEXT (and
//                                              tells when the progress bar last moved)
//   wdrive ping     WINDOW                     does the window still answer messages
//   wdrive count    WINDOW                     how many such windows are visible
//   wdrive close    WINDOW                     asks the window to close (WM_CLOSE)
//   wdrive waitgone WINDOW TIMEOUT_MS          waits until no such window exists
//   wdrive minimize WINDOW                     the minimise box: WM_SYSCOMMAND SC_MINIMIZE to
//                                              the form (the owned window of that caption)
//   wdrive restore  WINDOW                     the taskbar button: SC_RESTORE to the window
//                                              that has it (the form's owner, else the form)
//   wdrive showstate WINDOW                    "form visible=V iconic=I taskbar visible=V
//                                              iconic=I" of the form and its button's window
//   wdrive devicechange WINDOW arrival|removal PORT   as a port driver's broadcast: a port's
//                                              WM_DEVICECHANGE to the form and its owner
//   wdrive layout   WINDOW [PT[b]=TEXT...]     the form's client size and resolution, and for
//                                              each visible control its place in the form and
//                                              the room its text needs against what it has
//                                              (measured in "MS Sans Serif", 8 points, or PT
//                                              points, bold with b, for texts that begin with
//                                              TEXT: another process's font cannot be read)
//
// WINDOW is the exact caption, or "class:NAME" for the first visible window of that class
// ("class:#32770" finds a dialog or message box whatever its caption). Texts are read with the
// wide-character functions and compared as Unicode. Arguments are taken from the Unicode command
// line (under Wine with a UTF-8 Unix locale, the UTF-8 arguments of the Unix command line arrive
// there converted); output is UTF-8. `wait` and `state` match a control whose text contains TEXT
// (an empty TEXT: any visible control); `click` wants the button's whole text. Exit codes: 0 done,
// 1 not found / timed out / refused, 2 usage.
#include <windows.h>

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr UINT kSendTimeoutMs = 3000;

std::string to_utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

void out(const std::string& line) {
  std::string s = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), s.data(), static_cast<DWORD>(s.size()), &written,
            nullptr);
}

void err(const std::string& line) {
  std::string s = "wdrive: " + line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), s.data(), static_cast<DWORD>(s.size()), &written,
            nullptr);
}

// Control characters are shown escaped so that one control stays on one output line.
std::string quoted(const std::wstring& w) {
  std::wstring e;
  for (wchar_t c : w) {
    if (c == L'\r') {
      e += L"\\r";
    } else if (c == L'\n') {
      e += L"\\n";
    } else if (c == L'\t') {
      e += L"\\t";
    } else if (c == L'"' || c == L'\\') {
      e += L'\\';
      e += c;
    } else {
      e += c;
    }
  }
  std::string quoted = "\"";
  quoted += to_utf8(e);
  quoted += '"';
  return quoted;
}

// Milliseconds since the Unix epoch, so that the caller can compare with its own clocks.
long long epoch_ms() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  return static_cast<long long>((t.QuadPart - 116444736000000000ULL) / 10000ULL);
}

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

// The control's own text, asked of the control (an edit control keeps its text to itself).
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

struct FindTop {
  std::wstring caption;
  std::wstring cls;  // non-empty: match by class instead of caption
  HWND visible = nullptr;
  HWND hidden = nullptr;
  bool count_all = false;  // go on after the first visible match, counting
  int visible_count = 0;
};

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

// A visible window is preferred; with only_visible a hidden one does not count.
HWND find_top(const std::wstring& spec, bool only_visible) {
  const FindTop f = search(spec, false);
  if (f.visible) return f.visible;
  return only_visible ? nullptr : f.hidden;
}

struct Control {
  HWND hwnd;
  std::wstring cls;
  int id;
  bool visible;
  bool enabled;
  std::wstring text;
};

BOOL CALLBACK collect_cb(HWND w, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
  return TRUE;
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

HWND need_top(const std::wstring& spec) {
  HWND top = find_top(spec, false);
  if (!top) err("no window " + quoted(spec));
  return top;
}

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

bool all_digits(const std::wstring& s) {
  if (s.empty()) return false;
  for (wchar_t c : s) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

int cmd_choose(const std::wstring& spec, const std::wstring& item) {
  HWND top = need_top(spec);
  if (!top) return 1;
  for (const Control& c : controls_of(top)) {
    if (!same_class(c.cls, L"ComboBox") || !c.visible) continue;
    if (!c.enabled || !IsWindowEnabled(top)) {
      err("the list is disabled");
      return 1;
    }
    const auto items = combo_items(c.hwnd);
    long index = -1;
    if (all_digits(item)) {
      index = std::wcstol(item.c_str(), nullptr, 10);
    } else {
      for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == item) index = static_cast<long>(i);
      }
    }
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
      err("no item " + quoted(item) + " among " + std::to_string(items.size()));
      return 1;
    }
    DWORD_PTR r = 0;
    if (!send(c.hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &r) ||
        static_cast<LONG_PTR>(r) != index) {
      err("the list refused the selection");
      return 1;
    }
    // What the list sends its parent when the user picks an item.
    HWND parent = GetAncestor(c.hwnd, GA_PARENT);
    const WPARAM wp = MAKEWPARAM(static_cast<WORD>(c.id), CBN_SELCHANGE);
    if (!PostMessageW(parent, WM_COMMAND, wp, reinterpret_cast<LPARAM>(c.hwnd))) {
      err("cannot notify the list's parent");
      return 1;
    }
    out("chose " + std::to_string(index) + " " + quoted(items[static_cast<std::size_t>(index)]));
    return 0;
  }
  err("no visible combo box");
  return 1;
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

const Control* find_text(const std::vector<Control>& cs, const std::wstring& text,
                         bool only_visible) {
  for (const Control& c : cs) {
    if (only_visible && !c.visible) continue;
    if (c.text.find(text) != std::wstring::npos) return &c;
  }
  return nullptr;
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

// The position of the first progress bar, or -1 when there is none.
long progress_of(const std::vector<Control>& cs) {
  for (const Control& c : cs) {
    if (!same_class(c.cls, L"msctls_progress32")) continue;
    DWORD_PTR pos = 0;
    if (send(c.hwnd, PBM_GETPOS, 0, 0, &pos)) return static_cast<long>(pos);
  }
  return -1;
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

// The form of that caption (an owned window, shown or not) and the window with its taskbar
// button: its owner, or the form itself when it has none.
struct FormAndButton {
  HWND form = nullptr;
  HWND button = nullptr;
};

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

FormAndButton find_form(const std::wstring& caption) {
  std::pair<std::wstring, FormAndButton> f{caption, {}};
  EnumWindows(find_form_cb, reinterpret_cast<LPARAM>(&f));
  if (f.second.form == nullptr) err("no window " + quoted(caption));
  return f.second;
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

int dpi_of(HWND w) {
  using ForWindow = UINT(WINAPI*)(HWND);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  FARPROC p = user32 != nullptr ? GetProcAddress(user32, "GetDpiForWindow") : nullptr;
  if (p != nullptr)
    return static_cast<int>(reinterpret_cast<ForWindow>(reinterpret_cast<void (*)()>(p))(w));
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi;
}

// The room a control gives its text: an edit its formatting rectangle, a button its face
// inside the border, a static its client area.
RECT text_room(HWND w, const std::wstring& cls) {
  RECT r{};
  if (same_class(cls, L"Edit")) {
    send(w, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r), nullptr);
    return r;
  }
  GetClientRect(w, &r);
  if (same_class(cls, L"Button")) InflateRect(&r, -3, -3);
  return r;
}

// A control's font cannot be read from another process: the text is measured in the font the
// window's design gives it ("MS Sans Serif", Cyrillic), in points at the window's resolution.
struct FontSpec {
  std::wstring text_prefix;  // empty: every other text
  int points = 8;
  bool bold = false;
};

// "10b=TEXT" or "10=TEXT": texts that begin with TEXT have that size (b: bold).
bool parse_font_spec(const std::wstring& arg, FontSpec& spec) {
  const auto eq = arg.find(L'=');
  if (eq == std::wstring::npos || eq == 0) return false;
  std::wstring size = arg.substr(0, eq);
  spec.bold = size.back() == L'b';
  if (spec.bold) size.pop_back();
  spec.points = static_cast<int>(std::wcstol(size.c_str(), nullptr, 10));
  spec.text_prefix = arg.substr(eq + 1);
  return spec.points > 0;
}

bool text_extent(HWND w, const std::wstring& text, const FontSpec& font, int dpi, bool wrap,
                 int wrap_width, SIZE& size) {
  LOGFONTW lf{};
  // The height in design pixels at 96 per inch, then scaled to the resolution.
  const int design = -((font.points * 96 + 36) / 72);
  lf.lfHeight = MulDiv(design, dpi, 96);
  lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = RUSSIAN_CHARSET;
  lstrcpyW(lf.lfFaceName, L"MS Sans Serif");
  HFONT local = CreateFontIndirectW(&lf);
  if (local == nullptr) return false;
  HDC dc = GetDC(w);
  HGDIOBJ old = SelectObject(dc, local);
  RECT r{0, 0, wrap ? wrap_width : 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | DT_NOPREFIX | (wrap ? DT_WORDBREAK : 0));
  SelectObject(dc, old);
  ReleaseDC(w, dc);
  DeleteObject(local);
  size = {r.right - r.left, r.bottom - r.top};
  return true;
}

int cmd_layout(const std::wstring& spec, const std::vector<FontSpec>& fonts) {
  HWND top = need_top(spec);
  if (!top) return 1;
  const int dpi = dpi_of(top);
  RECT client;
  GetClientRect(top, &client);
  out("form client=" + std::to_string(client.right) + "x" + std::to_string(client.bottom) +
      " dpi=" + std::to_string(dpi));
  for (const Control& c : controls_of(top)) {
    if (!IsWindowVisible(c.hwnd)) continue;
    RECT r;
    GetWindowRect(c.hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
    std::string line = to_utf8(c.cls) + " id=" + std::to_string(c.id) +
                       " x=" + std::to_string(r.left) + " y=" + std::to_string(r.top) +
                       " w=" + std::to_string(r.right - r.left) +
                       " h=" + std::to_string(r.bottom - r.top);
    const bool texty =
        same_class(c.cls, L"Static") || same_class(c.cls, L"Button") || same_class(c.cls, L"Edit");
    if (texty && !c.text.empty()) {
      const RECT room = text_room(c.hwnd, c.cls);
      const LONG style = GetWindowLongW(c.hwnd, GWL_STYLE);
      // A static that is not kept to one line wraps its words within its width.
      const bool wrap = same_class(c.cls, L"Static") && (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP;
      FontSpec font;
      for (const FontSpec& f : fonts)
        if (c.text.rfind(f.text_prefix, 0) == 0) font = f;
      SIZE t{};
      if (text_extent(c.hwnd, c.text, font, dpi, wrap, room.right - room.left, t)) {
        const bool fits = t.cx <= room.right - room.left && t.cy <= room.bottom - room.top;
        line += " text_w=" + std::to_string(t.cx) + " text_h=" + std::to_string(t.cy) +
                " room_w=" + std::to_string(room.right - room.left) +
                " room_h=" + std::to_string(room.bottom - room.top) +
                " fits=" + std::to_string(fits ? 1 : 0);
      } else {
        line += " fits=?";
      }
    }
    out(line + " " + quoted(c.text));
  }
  return 0;
}

DWORD parse_ms(const std::wstring& s) {
  return all_digits(s) ? static_cast<DWORD>(std::wcstoul(s.c_str(), nullptr, 10)) : 0;
}

int usage() {
  err("usage: wdrive list|choose|click|state|wait|ping|count|close|waitgone|minimize|restore|"
      "showstate|layout|devicechange WINDOW [ARG] "
      "[TIMEOUT_MS]");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Places and sizes as the screen has them, whatever its resolution.
  SetProcessDPIAware();
  if (argc < 3) return usage();
  const std::wstring cmd = argv[1];
  const std::wstring window = argv[2];
  const std::wstring arg = argc > 3 ? argv[3] : L"";
  if (cmd == L"list" && argc == 3) return cmd_list(window);
  if (cmd == L"ping" && argc == 3) return cmd_ping(window);
  if (cmd == L"close" && argc == 3) return cmd_close(window);
  if (cmd == L"count" && argc == 3) return cmd_count(window);
  if (cmd == L"minimize" && argc == 3) return cmd_syscommand(window, true);
  if (cmd == L"restore" && argc == 3) return cmd_syscommand(window, false);
  if (cmd == L"showstate" && argc == 3) return cmd_showstate(window);
  if (cmd == L"devicechange" && argc == 5) return cmd_devicechange(window, arg, argv[4]);
  if (cmd == L"layout") {
    std::vector<FontSpec> fonts;
    for (int i = 3; i < argc; ++i) {
      FontSpec f;
      if (!parse_font_spec(argv[i], f)) return usage();
      fonts.push_back(f);
    }
    return cmd_layout(window, fonts);
  }
  if (cmd == L"choose" && argc == 4) return cmd_choose(window, arg);
  if (cmd == L"click" && argc == 4) return cmd_click(window, arg);
  if (cmd == L"state" && argc == 4) return cmd_state(window, arg);
  if (cmd == L"waitgone" && argc == 4) return cmd_waitgone(window, parse_ms(arg));
  if (cmd == L"wait" && argc == 5) return cmd_wait(window, arg, parse_ms(argv[4]));
  return usage();
}
