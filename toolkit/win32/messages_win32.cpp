// The messages every window translates alike: the system's messages as the toolkit's, handed
// to the handler and the toolkit's processing, and the notifications a form gets for its
// controls. What only one kind of window has is in that kind's file (window_kinds_win32.hpp).
#include <windows.h>

#include <commctrl.h>

#include "toolkit/dpi.hpp"
#include "toolkit/win32/text_win32.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::win32 {

namespace {

int low_word_signed(LPARAM lp) {
  return static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lp)));
}
int high_word_signed(LPARAM lp) {
  return static_cast<short>(HIWORD(static_cast<DWORD_PTR>(lp)));
}

// A character as the program sees it (one Windows-1251 byte) and back.
std::int32_t char_to_byte(WPARAM wp) {
  const wchar_t wc = static_cast<wchar_t>(wp);
  char b = 0;
  if (WideCharToMultiByte(kTextCodePage, 0, &wc, 1, &b, 1, nullptr, nullptr) != 1) return '?';
  return static_cast<unsigned char>(b);
}

WPARAM byte_to_char(std::int32_t byte) {
  const char b = static_cast<char>(byte & 0xFF);
  wchar_t wc = 0;
  if (MultiByteToWideChar(kTextCodePage, 0, &b, 1, &wc, 1) != 1) return static_cast<WPARAM>(byte);
  return static_cast<WPARAM>(wc);
}

// The mouse button of a button message: 0 left, 1 right, 2 middle.
std::int32_t button_of(UINT msg, UINT left, UINT right) {
  return msg == left ? 0 : msg == right ? 1 : 2;
}

}  // namespace

void Win32Window::reflect_notification(WORD code) {
  tk::Message m;
  switch (kind_) {
    case tk::Kind::Button:
      if (code != BN_CLICKED) return;
      m.id = tk::Msg::Click;
      break;
    case tk::Kind::Label:
    case tk::Kind::Image:
      if (code != STN_CLICKED) return;
      m.id = tk::Msg::Click;
      break;
    case tk::Kind::Edit:
      if (code != EN_CHANGE) return;
      m.id = tk::Msg::Change;
      break;
    case tk::Kind::ComboBox:
      if (code != CBN_SELCHANGE) return;
      m.id = tk::Msg::SelChange;
      break;
    default:
      return;
  }
  send(m);
}

LRESULT Win32Window::control_colors(HDC dc) {
  SetTextColor(dc, tk::resolve_color(font_.color));
  SetBkColor(dc, tk::resolve_color(color_));
  return reinterpret_cast<LRESULT>(brush_);
}

bool Win32Window::refuse_focus(UINT msg, WPARAM wp) {
  if (msg != WM_SETFOCUS || tab_order_ >= 0) return false;
  HWND previous = reinterpret_cast<HWND>(wp);
  SetFocus(previous != nullptr && IsWindow(previous) ? previous : GetParent(hwnd_));
  return true;
}

bool Win32Window::translate_key(UINT msg, WPARAM wp, tk::Message& m) {
  switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      m.id = tk::Msg::KeyDown;
      m.wparam = static_cast<std::int32_t>(wp);
      return true;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      m.id = tk::Msg::KeyUp;
      m.wparam = static_cast<std::int32_t>(wp);
      return true;
    case WM_CHAR:
    case WM_SYSCHAR:
      m.id = tk::Msg::Char;
      m.wparam = char_to_byte(wp);
      return true;
    default:
      return false;
  }
}

bool Win32Window::translate(UINT msg, WPARAM wp, LPARAM lp, tk::Message& m) const {
  if (translate_key(msg, wp, m)) return true;
  const bool mouse = msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST;
  if (mouse && msg != WM_MOUSEWHEEL) {
    m.x = tk::to_design(low_word_signed(lp), dpi());
    m.y = tk::to_design(high_word_signed(lp), dpi());
  }
  switch (msg) {
    case WM_CLOSE:
      m.id = tk::Msg::Close;
      m.lparam = static_cast<std::int32_t>(lp);
      return true;
    case WM_ENDSESSION:
      m.id = tk::Msg::EndSession;
      m.wparam = wp != 0 ? 1 : 0;
      return true;
    case WM_MOVE:
      m.id = tk::Msg::Move;
      m.x = tk::to_design(low_word_signed(lp), dpi());
      m.y = tk::to_design(high_word_signed(lp), dpi());
      return true;
    case WM_SIZE:
      m.id = tk::Msg::Size;
      m.x = tk::to_design(LOWORD(static_cast<DWORD_PTR>(lp)), dpi());
      m.y = tk::to_design(HIWORD(static_cast<DWORD_PTR>(lp)), dpi());
      return true;
    case WM_SETFOCUS:
      m.id = tk::Msg::SetFocus;
      return true;
    case WM_KILLFOCUS:
      m.id = tk::Msg::KillFocus;
      return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      m.id = tk::Msg::MouseDown;
      m.wparam = button_of(msg, WM_LBUTTONDOWN, WM_RBUTTONDOWN);
      return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      m.id = tk::Msg::MouseUp;
      m.wparam = button_of(msg, WM_LBUTTONUP, WM_RBUTTONUP);
      return true;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      m.id = tk::Msg::DblClick;
      m.wparam = button_of(msg, WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK);
      return true;
    case WM_MOUSEMOVE:
      m.id = tk::Msg::MouseMove;
      m.wparam = static_cast<std::int32_t>(wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON));
      return true;
    case WM_MOUSEWHEEL: {
      m.id = tk::Msg::MouseWheel;
      m.wparam = static_cast<short>(HIWORD(wp));
      POINT p{low_word_signed(lp), high_word_signed(lp)};
      ScreenToClient(hwnd_, &p);
      m.x = tk::to_design(p.x, dpi());
      m.y = tk::to_design(p.y, dpi());
      return true;
    }
    case WM_MOUSEHOVER:
      m.id = tk::Msg::MouseHover;
      return true;
    case WM_MOUSELEAVE:
      m.id = tk::Msg::MouseLeave;
      return true;
    case WM_DESTROY:
      m.id = tk::Msg::Destroy;
      return true;
    default:
      return false;
  }
}

LRESULT Win32Window::deliver(tk::Message& m, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp,
                             WNDPROC original) {
  if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) {
    TRACKMOUSEEVENT t{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd_, HOVER_DEFAULT};
    TrackMouseEvent(&t);
  }
  const std::int32_t wparam_before = m.wparam;
  if (!run_handler(m)) return 0;
  if (m.id == tk::Msg::MouseLeave && alive()) {
    TRACKMOUSEEVENT t{sizeof(TRACKMOUSEEVENT), TME_HOVER, hwnd_, HOVER_DEFAULT};
    TrackMouseEvent(&t);
  }
  const bool key = m.id == tk::Msg::KeyDown || m.id == tk::Msg::KeyUp || m.id == tk::Msg::Char;
  if (key) {
    if (m.handled || m.wparam == 0) return 0;  // swallowed
    if (m.wparam != wparam_before)
      wp = m.id == tk::Msg::Char ? byte_to_char(m.wparam) : static_cast<WPARAM>(m.wparam);
  }
  if (m.handled) return 0;
  switch (m.id) {
    case tk::Msg::Close:
      tk_default(m);
      return 0;  // never the system's default: that would destroy the window
    case tk::Msg::Destroy:
      break;
    default:
      tk_default(m);
      if (!alive()) return 0;
      break;
  }
  return pass_on(original, hwnd, msg, wp, lp);
}

LRESULT Win32Window::on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCDESTROY) {
    const LRESULT r = pass_on(original_proc_, hwnd, msg, wp, lp);
    detach();
    return r;
  }
  tk::Message m;
  if (!translate(msg, wp, lp, m)) return pass_on(original_proc_, hwnd, msg, wp, lp);
  return deliver(m, hwnd, msg, wp, lp, original_proc_);
}

}  // namespace kx::win32
