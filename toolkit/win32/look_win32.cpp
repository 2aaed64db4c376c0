// The text, state and look of a window: visibility, enabling, colours and fonts, frame and
// styles, icon, mouse capture, tab stops and redrawing.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "toolkit/dpi.hpp"
#include "toolkit/style_bits.hpp"
#include "toolkit/win32/classes_win32.hpp"
#include "toolkit/win32/text_win32.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::win32 {

// The frames and edges are made of the system's own bits.
static_assert(tk::kStyleBorder == WS_BORDER && tk::kStyleDlgFrame == WS_DLGFRAME &&
              tk::kStyleCaption == WS_CAPTION && tk::kStyleThickFrame == WS_THICKFRAME &&
              tk::kStyleMinimizeBox == WS_MINIMIZEBOX && tk::kStyleMaximizeBox == WS_MAXIMIZEBOX &&
              tk::kStyleSysMenu == WS_SYSMENU && tk::kStyleFlatButton == BS_FLAT);
static_assert(tk::kExDlgModalFrame == WS_EX_DLGMODALFRAME &&
              tk::kExToolWindow == WS_EX_TOOLWINDOW && tk::kExWindowEdge == WS_EX_WINDOWEDGE &&
              tk::kExClientEdge == WS_EX_CLIENTEDGE && tk::kExStaticEdge == WS_EX_STATICEDGE);

namespace {

std::string window_text(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return {};
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, w.data(), n + 1);
  w.resize(static_cast<std::size_t>(std::max(0, got)));
  return from_wide(w);
}

}  // namespace

void Win32Window::set_text(std::string_view text) {
  std::string copy(text);
  if (marshal([copy](Win32Window& w) { w.set_text(copy); })) return;
  if (!alive()) return;
  SetWindowTextW(hwnd_, to_wide(copy).c_str());
}

std::string Win32Window::text() const {
  return alive() ? window_text(hwnd_) : std::string();
}

int Win32Window::caret() const {
  if (!alive() || kind_ != tk::Kind::Edit) return 0;
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end);  // one Windows-1251 byte per character
}

void Win32Window::set_caret(int position) {
  if (marshal([position](Win32Window& w) { w.set_caret(position); })) return;
  if (!alive() || kind_ != tk::Kind::Edit) return;
  const int p = std::max(0, position);
  SendMessageW(hwnd_, EM_SETSEL, static_cast<WPARAM>(p), static_cast<LPARAM>(p));
}

// ---- state of the window ----

void Win32Window::set_visible(bool visible) {
  if (marshal([visible](Win32Window& w) { w.set_visible(visible); })) return;
  if (!alive()) return;
  const bool was_visible = this->visible();
  if (!visible) {
    ShowWindow(hwnd_, SW_HIDE);
    return;
  }
  if (was_visible) return;
  ShowWindow(hwnd_, kind_ == tk::Kind::Form ? SW_SHOW : SW_SHOWNA);
  tk::Message m{tk::Msg::Show};
  m.wparam = 1;
  send(m);
}

bool Win32Window::visible() const {
  return alive() && (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32Window::set_enabled(bool enabled) {
  if (marshal([enabled](Win32Window& w) { w.set_enabled(enabled); })) return;
  if (alive()) EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

bool Win32Window::enabled() const {
  return alive() && IsWindowEnabled(hwnd_) != FALSE;
}

void Win32Window::set_color(std::uint32_t color) {
  if (marshal([color](Win32Window& w) { w.set_color(color); })) return;
  color_ = color;
  has_color_ = true;
  if (brush_ != nullptr) DeleteObject(brush_);
  brush_ = CreateSolidBrush(tk::resolve_color(color));
  if (!alive()) return;
  if (kind_ == tk::Kind::ProgressBar)
    SendMessageW(hwnd_, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(tk::resolve_color(color)));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Window::set_font(const tk::Font& font) {
  if (marshal([font](Win32Window& w) { w.set_font(font); })) return;
  font_ = font;
  if (kind_ == tk::Kind::Form || kind_ == tk::Kind::Application || !alive()) return;
  HFONT previous = font_handle_;
  font_handle_ = make_font(font_, dpi());
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_handle_), TRUE);
  if (previous != nullptr) DeleteObject(previous);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Window::use_parent_font() {
  if (marshal([](Win32Window& w) { w.use_parent_font(); })) return;
  if (parent_ != nullptr) set_font(parent_->font_);
}

tk::Extent Win32Window::measure_text(std::string_view text) const {
  if (!alive()) return {};
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, font_handle_ != nullptr ? static_cast<HGDIOBJ>(font_handle_)
                                                         : GetStockObject(DEFAULT_GUI_FONT));
  tk::Extent e;
  if (text.empty()) {
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    e = {0, tm.tmHeight};
  } else {
    const std::wstring w = to_wide(text);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_CALCRECT | DT_NOPREFIX | DT_LEFT);
    e = {r.right - r.left, r.bottom - r.top};
  }
  // In design pixels, rounded up: a control sized by it shows the whole text.
  e = {tk::to_design_covering(e.width, dpi()), tk::to_design_covering(e.height, dpi())};
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  return e;
}

void Win32Window::frame_changed() {
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void Win32Window::set_look(int look) {
  if (marshal([look](Win32Window& w) { w.set_look(look); })) return;
  if (look == look_ || (look != 0 && look != 1) || !alive()) return;
  auto s = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE));
  auto x = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE));
  if (look == 0) {
    s &= ~static_cast<DWORD>(WS_BORDER);
    x |= WS_EX_CLIENTEDGE;
  } else {
    s |= WS_BORDER;
    x &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
  }
  SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(s));
  SetWindowLongW(hwnd_, GWL_EXSTYLE, static_cast<LONG>(x));
  frame_changed();
  look_ = look;
}

void Win32Window::set_tab_order(int order) {
  if (marshal([order](Win32Window& w) { w.set_tab_order(order); })) return;
  tab_order_ = order;
  // On a top-level window the tab-stop bit is the maximize box: forms keep their style.
  if (!alive() || kind_ == tk::Kind::Form || kind_ == tk::Kind::Application) return;
  auto s = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE));
  if (order > 0) {
    s |= WS_TABSTOP;
  } else {
    s &= ~static_cast<DWORD>(WS_TABSTOP);
  }
  SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(s));
}

std::uint32_t Win32Window::style_word(int index) const {
  return alive() ? static_cast<std::uint32_t>(GetWindowLongW(hwnd_, index)) : 0;
}

void Win32Window::replace_style_word(int index, std::uint32_t value) {
  SetWindowLongW(hwnd_, index, static_cast<LONG>(value));
  frame_changed();
  // A form keeps its design size with the new frame (the same window size at 96 per inch).
  if (kind_ == tk::Kind::Form && sized_) apply_size();
}

void Win32Window::set_style(std::uint32_t style) {
  replace_style_word(GWL_STYLE, style);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Window::set_frame(tk::Frame frame) {
  if (marshal([frame](Win32Window& w) { w.set_frame(frame); })) return;
  if (!alive()) return;
  const tk::StyleWords words =
      tk::with_frame({style_word(GWL_STYLE), style_word(GWL_EXSTYLE)}, frame);
  set_style(words.style);
  replace_style_word(GWL_EXSTYLE, words.ex_style);
}

void Win32Window::set_edge(tk::Edge edge) {
  if (marshal([edge](Win32Window& w) { w.set_edge(edge); })) return;
  if (alive()) replace_style_word(GWL_EXSTYLE, tk::edge_ex_style(edge));
}

void Win32Window::set_flat() {
  if (marshal([](Win32Window& w) { w.set_flat(); })) return;
  if (alive()) set_style(style_word(GWL_STYLE) | tk::kStyleFlatButton);
}

void Win32Window::hide_from_taskbar() {
  if (marshal([](Win32Window& w) { w.hide_from_taskbar(); })) return;
  if (alive()) replace_style_word(GWL_EXSTYLE, tk::kExNoTaskbarButton);
}

void Win32Window::set_alignment(int alignment) {
  if (marshal([alignment](Win32Window& w) { w.set_alignment(alignment); })) return;
  if (!alive()) return;
  auto s = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE));
  if (kind_ == tk::Kind::Edit) {
    s &= ~static_cast<DWORD>(ES_LEFT | ES_CENTER | ES_RIGHT);
    s |= static_cast<DWORD>(alignment == 1 ? ES_RIGHT : alignment == 2 ? ES_CENTER : ES_LEFT);
  } else if (kind_ == tk::Kind::Label) {
    // The no-word-wrap style of creation goes: long lines wrap.
    s &= ~static_cast<DWORD>(SS_TYPEMASK);
    s |= static_cast<DWORD>(alignment == 1 ? SS_RIGHT : alignment == 2 ? SS_CENTER : SS_LEFT);
  } else {
    return;
  }
  SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(s));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Window::set_icon(std::string_view resource_name) {
  std::string name(resource_name);
  if (marshal([name](Win32Window& w) { w.set_icon(name); })) return;
  if (!alive()) return;
  const std::wstring wname = to_wide(name);
  auto load = [&](int size) {
    return static_cast<HICON>(LoadImageW(instance(), wname.c_str(), IMAGE_ICON, size, size, 0));
  };
  HICON big = load(GetSystemMetrics(SM_CXICON));
  HICON small = load(GetSystemMetrics(SM_CXSMICON));
  if (big == nullptr && small == nullptr) return;
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  if (icon_big_ != nullptr) DestroyIcon(icon_big_);
  if (icon_small_ != nullptr) DestroyIcon(icon_small_);
  icon_big_ = big;
  icon_small_ = small;
}

void Win32Window::set_mouse_capture(bool capture) {
  if (marshal([capture](Win32Window& w) { w.set_mouse_capture(capture); })) return;
  if (!alive()) return;
  if (capture) {
    SetCapture(hwnd_);
  } else {
    ReleaseCapture();
  }
}

void Win32Window::begin_drag_move() {
  if (marshal([](Win32Window& w) { w.begin_drag_move(); })) return;
  if (!alive()) return;
  ReleaseCapture();
  SendMessageW(hwnd_, WM_SYSCOMMAND, 0xF012, 0);  // move, by the caption
}

void Win32Window::move_focus(bool backwards) {
  std::vector<Win32Window*> stops;
  for (Win32Window* w : state().windows)
    if (w->parent_ == this && w->alive() && w->tab_order_ > 0 && IsWindowVisible(w->hwnd_) &&
        IsWindowEnabled(w->hwnd_))
      stops.push_back(w);
  if (stops.empty()) return;
  std::stable_sort(stops.begin(), stops.end(), [](const Win32Window* a, const Win32Window* b) {
    return a->tab_order_ < b->tab_order_;
  });
  Win32Window* focused = from_hwnd(GetFocus());
  auto at = std::find(stops.begin(), stops.end(), focused);
  std::size_t next = 0;
  if (at == stops.end()) {
    next = backwards ? stops.size() - 1 : 0;
  } else {
    const std::size_t i = static_cast<std::size_t>(at - stops.begin());
    next = backwards ? (i + stops.size() - 1) % stops.size() : (i + 1) % stops.size();
  }
  Win32Window* target = stops[next];
  SetFocus(target->focus_hwnd());
  if (target->kind_ == tk::Kind::Edit) SendMessageW(target->hwnd_, EM_SETSEL, 0, -1);
}

void Win32Window::set_redraw(bool on) {
  if (marshal([on](Win32Window& w) { w.set_redraw(on); })) return;
  if (!alive()) return;
  SendMessageW(hwnd_, WM_SETREDRAW, on ? TRUE : FALSE, 0);
}

void Win32Window::invalidate() {
  if (marshal([](Win32Window& w) { w.invalidate(); })) return;
  if (alive()) InvalidateRect(hwnd_, nullptr, TRUE);
}
}  // namespace kx::win32
