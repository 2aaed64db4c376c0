// Message translation: the system's messages to a window (and the notifications its parent
// gets for it) as the toolkit's messages, and painting an Image through its handler.
#include <windows.h>

#include <commctrl.h>

#include "toolkit/dpi.hpp"
#include "toolkit/win32/device_change_win32.hpp"
#include "toolkit/win32/minimize_win32.hpp"
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

// The paint surface handed to an Image's handler.
class PaintCanvas final : public tk::Canvas {
 public:
  PaintCanvas(HDC dc, HBRUSH brush, int dpi) : dc_(dc), brush_(brush), dpi_(dpi) {}
  void fill(const tk::Rect& design) override {
    const tk::Rect r = tk::to_screen(design, dpi_);
    RECT rc{r.left, r.top, r.left + r.width, r.top + r.height};
    FillRect(dc_, &rc, brush_);
  }
  void stretch(const tk::Bitmap& bitmap, const tk::Rect& design, int stretch_mode) override {
    const tk::Rect target = tk::to_screen(design, dpi_);
    const auto* b = dynamic_cast<const Win32Bitmap*>(&bitmap);
    if (b == nullptr) return;
    SetStretchBltMode(dc_, stretch_mode);
    if (stretch_mode == HALFTONE) SetBrushOrgEx(dc_, 0, 0, nullptr);
    StretchDIBits(dc_, target.left, target.top, target.width, target.height, 0, 0, b->width(),
                  b->height(), b->bits(), b->info(), DIB_RGB_COLORS, SRCCOPY);
  }

 private:
  HDC dc_;
  HBRUSH brush_;
  int dpi_;
};

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

void Win32Window::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  HBRUSH brush = brush_ != nullptr ? brush_ : GetSysColorBrush(COLOR_BTNFACE);
  PaintCanvas canvas(dc, brush, dpi());
  RECT client;
  GetClientRect(hwnd_, &client);
  if (handler_) {
    tk::Message m{tk::Msg::Paint};
    m.canvas = &canvas;
    if (!run_handler(m)) return;  // gone while painting: the DC went with the window
  } else {
    FillRect(dc, &client, brush);
  }
  EndPaint(hwnd_, &ps);
}

LRESULT Win32Window::on_native(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const bool inner = hwnd != hwnd_;

  if (!inner && (kind_ == tk::Kind::Form || kind_ == tk::Kind::Application)) {
    LRESULT result = 0;
    if (minimize_message(*this, hwnd, msg, wp, lp, result)) return result;
  }
  if (!inner && kind_ == tk::Kind::Application && device_change_message(msg, wp, lp)) return TRUE;

  // The parent's side: notifications and colours of the controls on a form.
  if (!inner && (kind_ == tk::Kind::Form || kind_ == tk::Kind::Application)) {
    switch (msg) {
      case WM_COMMAND:
        if (lp != 0) {
          Win32Window* child = from_hwnd(reinterpret_cast<HWND>(lp));
          if (child != nullptr && child != this) {
            child->reflect_notification(HIWORD(wp));
            return 0;
          }
        }
        break;
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN:
      case WM_CTLCOLORLISTBOX: {
        HWND child_hwnd = reinterpret_cast<HWND>(lp);
        Win32Window* child = from_hwnd(child_hwnd);
        if (child == nullptr) child = from_hwnd(GetParent(child_hwnd));
        if (child != nullptr && child != this && child->has_color_)
          return child->control_colors(reinterpret_cast<HDC>(wp));
        break;
      }
      case WM_ERASEBKGND:
        if (has_color_) {
          RECT r;
          GetClientRect(hwnd, &r);
          FillRect(reinterpret_cast<HDC>(wp), &r, brush_);
          return 1;
        }
        break;
      case WM_DPICHANGED:
        if (kind_ == tk::Kind::Form) {
          change_dpi(LOWORD(wp), *reinterpret_cast<const RECT*>(lp));
          return 0;
        }
        break;
      case kTaskMessage:
        if (kind_ == tk::Kind::Application) {
          state().tasks.run_pending();
          return 0;
        }
        break;
      default:
        break;
    }
  }

  // A control with a negative tab order does not take the focus: it goes back where it was.
  if (msg == WM_SETFOCUS && tab_order_ < 0 && kind_ != tk::Kind::Form &&
      kind_ != tk::Kind::Application) {
    HWND previous = reinterpret_cast<HWND>(wp);
    SetFocus(previous != nullptr && IsWindow(previous) ? previous : GetParent(hwnd_));
    return 0;
  }

  tk::Message m;
  bool mapped = true;
  const bool mouse = msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST;
  switch (msg) {
    case WM_CLOSE:
      m.id = tk::Msg::Close;
      m.lparam = static_cast<std::int32_t>(lp);
      break;
    case WM_ENDSESSION:
      m.id = tk::Msg::EndSession;
      m.wparam = wp != 0 ? 1 : 0;
      break;
    case WM_MOVE:
      m.id = tk::Msg::Move;
      m.x = tk::to_design(low_word_signed(lp), dpi());
      m.y = tk::to_design(high_word_signed(lp), dpi());
      break;
    case WM_SIZE:
      m.id = tk::Msg::Size;
      m.x = tk::to_design(LOWORD(static_cast<DWORD_PTR>(lp)), dpi());
      m.y = tk::to_design(HIWORD(static_cast<DWORD_PTR>(lp)), dpi());
      break;
    case WM_SETFOCUS:
      m.id = tk::Msg::SetFocus;
      break;
    case WM_KILLFOCUS:
      m.id = tk::Msg::KillFocus;
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      m.id = tk::Msg::MouseDown;
      m.wparam = msg == WM_LBUTTONDOWN ? 0 : msg == WM_RBUTTONDOWN ? 1 : 2;
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      m.id = tk::Msg::MouseUp;
      m.wparam = msg == WM_LBUTTONUP ? 0 : msg == WM_RBUTTONUP ? 1 : 2;
      break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      m.id = tk::Msg::DblClick;
      m.wparam = msg == WM_LBUTTONDBLCLK ? 0 : msg == WM_RBUTTONDBLCLK ? 1 : 2;
      break;
    case WM_MOUSEMOVE:
      m.id = tk::Msg::MouseMove;
      m.wparam = static_cast<std::int32_t>(wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON));
      break;
    case WM_MOUSEWHEEL: {
      m.id = tk::Msg::MouseWheel;
      m.wparam = static_cast<short>(HIWORD(wp));
      POINT p{low_word_signed(lp), high_word_signed(lp)};
      ScreenToClient(hwnd_, &p);
      m.x = tk::to_design(p.x, dpi());
      m.y = tk::to_design(p.y, dpi());
      break;
    }
    case WM_MOUSEHOVER:
      m.id = tk::Msg::MouseHover;
      break;
    case WM_MOUSELEAVE:
      m.id = tk::Msg::MouseLeave;
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      m.id = tk::Msg::KeyDown;
      m.wparam = static_cast<std::int32_t>(wp);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      m.id = tk::Msg::KeyUp;
      m.wparam = static_cast<std::int32_t>(wp);
      break;
    case WM_CHAR:
    case WM_SYSCHAR:
      m.id = tk::Msg::Char;
      m.wparam = char_to_byte(wp);
      break;
    case WM_PAINT:
      if (kind_ == tk::Kind::Image && !inner) {
        paint();
        return 0;
      }
      mapped = false;
      break;
    case WM_ERASEBKGND:
      if (kind_ == tk::Kind::Image && !inner) return 1;  // the paint covers the whole control
      mapped = false;
      break;
    case WM_DESTROY:
      m.id = tk::Msg::Destroy;
      break;
    case WM_NCDESTROY: {
      const LRESULT r = call_original(hwnd, msg, wp, lp);
      if (inner) {
        RemovePropW(hwnd, kObjectProp);
        RemovePropW(hwnd, kProcProp);
        inner_edit_ = nullptr;
      } else {
        detach();
      }
      return r;
    }
    default:
      mapped = false;
      break;
  }
  // The edit field of a combo box reports only its keys.
  if (inner && m.id != tk::Msg::KeyDown && m.id != tk::Msg::KeyUp && m.id != tk::Msg::Char)
    mapped = false;
  if (!mapped) return call_original(hwnd, msg, wp, lp);

  if (mouse && m.id != tk::Msg::MouseWheel) {
    m.x = tk::to_design(low_word_signed(lp), dpi());
    m.y = tk::to_design(high_word_signed(lp), dpi());
  }
  if (mouse) {
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
  return call_original(hwnd, msg, wp, lp);
}

}  // namespace kx::win32
