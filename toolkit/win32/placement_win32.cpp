// Placement of a window in design pixels (96 per inch) scaled to its monitor's resolution,
// alignment to an edge of the parent, and following the form to a monitor of another one.
#include <windows.h>

#include <algorithm>

#include "toolkit/align.hpp"
#include "toolkit/dpi.hpp"
#include "toolkit/win32/classes_win32.hpp"
#include "toolkit/win32/dpi_win32.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::win32 {

namespace {

// A drop-down combo box is sized with room for its list below the edit field.
constexpr int kComboListHeight = 160;

}  // namespace

void Win32Window::set_position(int left, int top) {
  if (marshal([left, top](Win32Window& w) { w.set_position(left, top); })) return;
  if (!alive()) return;
  design_.left = left;
  design_.top = top;
  const int d = dpi();
  SetWindowPos(hwnd_, nullptr, tk::to_screen(left, d), tk::to_screen(top, d), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (kind_ == tk::Kind::Form) keep_on_screen();
  apply_align();
}

// A form placed (or grown by the scaling) beyond its monitor's work area moves back into it,
// as far as it fits.
void Win32Window::keep_on_screen() {
  RECT r;
  GetWindowRect(hwnd_, &r);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info)) return;
  const RECT& work = info.rcWork;
  const LONG left = std::max(work.left, std::min(r.left, work.right - (r.right - r.left)));
  const LONG top = std::max(work.top, std::min(r.top, work.bottom - (r.bottom - r.top)));
  if (left != r.left || top != r.top)
    SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::set_size(int width, int height) {
  if (marshal([width, height](Win32Window& w) { w.set_size(width, height); })) return;
  if (!alive()) return;
  design_.width = width;
  design_.height = height;
  sized_ = true;
  apply_size();
  apply_align();
}

// The design size on the screen. A form's design size includes its frame at 96 pixels per
// inch: its client area scales, and the frame is the one the system draws at the resolution.
// A drop-down combo box keeps the height of its edit field; the rest is its list.
void Win32Window::apply_size() {
  const int d = dpi();
  int width = tk::to_screen(design_.width, d);
  int height = tk::to_screen(design_.height, d);
  if (kind_ == tk::Kind::Form) {
    const auto s = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE));
    const auto x = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE));
    const RECT design = frame_at(s, x, tk::kDesignDpi);
    const RECT screen = frame_at(s, x, d);
    width =
        tk::to_screen(design_.width - design.left - design.right, d) + screen.left + screen.right;
    height =
        tk::to_screen(design_.height - design.top - design.bottom, d) + screen.top + screen.bottom;
  } else if (kind_ == tk::Kind::ComboBox) {
    height += tk::to_screen(kComboListHeight, d);
  }
  SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (kind_ == tk::Kind::Form) keep_on_screen();
}

tk::Rect Win32Window::rect() const {
  if (!alive()) return {};
  const int d = dpi();
  RECT r;
  GetWindowRect(hwnd_, &r);
  if ((GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD) != 0) {
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), corners, 2);
    r = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  }
  tk::Rect design{tk::to_design(r.left, d), tk::to_design(r.top, d),
                  tk::to_design(r.right - r.left, d), tk::to_design(r.bottom - r.top, d)};
  if (kind_ == tk::Kind::Form) {
    // The client area in design pixels and the frame as it is at 96 pixels per inch.
    const tk::Extent client = client_size();
    const RECT f = frame_at(static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)),
                            static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE)), tk::kDesignDpi);
    design.width = client.width + f.left + f.right;
    design.height = client.height + f.top + f.bottom;
  }
  return design;
}

tk::Extent Win32Window::client_size() const {
  if (!alive()) return {};
  const int d = dpi();
  RECT r;
  GetClientRect(hwnd_, &r);
  return {tk::to_design(r.right - r.left, d), tk::to_design(r.bottom - r.top, d)};
}

int Win32Window::dpi() const {
  if (kind_ == tk::Kind::Form || kind_ == tk::Kind::Application || parent_ == nullptr) return dpi_;
  return parent_->dpi();
}

// The form went to a monitor of another resolution: the system's suggested placement for the
// form, then every control again from its design placement and font.
void Win32Window::change_dpi(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  for (Win32Window* w : state().windows) {
    if (w->parent_ != this || !w->alive()) continue;
    SetWindowPos(w->hwnd_, nullptr, tk::to_screen(w->design_.left, dpi),
                 tk::to_screen(w->design_.top, dpi), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (w->sized_) w->apply_size();
    w->apply_align();
    HFONT previous = w->font_handle_;
    w->font_handle_ = make_font(w->font_, dpi);
    SendMessageW(w->hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(w->font_handle_), TRUE);
    if (previous != nullptr) DeleteObject(previous);
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Window::set_align(int align) {
  if (marshal([align](Win32Window& w) { w.set_align(align); })) return;
  align_ = align;
  apply_align();
}

// Aligned controls keep to an edge of the parent's client area (tk::aligned_rect).
void Win32Window::apply_align() {
  if (align_ == 0 || parent_ == nullptr || !alive()) return;
  const tk::Rect r = tk::aligned_rect(align_, rect(), parent_->client_size());
  if (r == rect()) return;
  design_ = r;
  const tk::Rect screen = tk::to_screen(r, dpi());
  SetWindowPos(hwnd_, nullptr, screen.left, screen.top, screen.width, screen.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::realign_children() {
  for (Win32Window* w : state().windows)
    if (w->parent_ == this && w->align_ != 0) w->apply_align();
}
}  // namespace kx::win32
