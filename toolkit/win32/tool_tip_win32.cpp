// Tool-tips of the Win32 toolkit: a tip window of the common controls with one tool, the
// whole control, which the tip window subclasses to see the mouse.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "toolkit/dpi.hpp"
#include "toolkit/win32/classes_win32.hpp"
#include "toolkit/win32/text_win32.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::win32 {

namespace {

class Win32ToolTip final : public tk::ToolTip {
 public:
  Win32ToolTip(Win32Window& control, const tk::ToolTipStyle& style)
      : control_id_(control.id), control_(control.hwnd()), tracking_(style.tracking) {
    init_common_controls();
    DWORD tip_style = WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX;
    if (style.balloon) tip_style |= TTS_BALLOON;
    // Owned by the control (the system makes its form the owner): it goes with the form.
    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, tip_style, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, control_, nullptr,
                           instance(), nullptr);
    if (tip_ == nullptr) return;
    font_ = make_font(style.font, control.dpi());
    SendMessageW(tip_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    SetWindowPos(tip_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    TTTOOLINFOW ti = tool();
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessageW(tip_, TTM_SETTIPTEXTCOLOR, tk::resolve_color(style.font.color), 0);
    SendMessageW(tip_, TTM_SETTIPBKCOLOR, tk::resolve_color(style.back_color), 0);
    SendMessageW(tip_, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(style.initial_delay, 0));
    SendMessageW(tip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(style.auto_pop_delay, 0));
    RECT margin{style.margin, style.margin, style.margin, style.margin};
    SendMessageW(tip_, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
  }

  ~Win32ToolTip() override {
    // The tip window went already when the form it belongs to was destroyed.
    if (tip_ != nullptr && IsWindow(tip_)) {
      if (find_live(control_id_) != nullptr) {
        TTTOOLINFOW ti = tool();
        SendMessageW(tip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
      }
      DestroyWindow(tip_);
    }
    if (font_ != nullptr) DeleteObject(font_);
  }

  void set_text(std::string_view text) override {
    if (!usable()) return;
    std::wstring wide = to_wide(text);
    TTTOOLINFOW ti = tool();
    ti.lpszText = wide.data();
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
  }

  void set_title(int icon, std::string_view title) override {
    if (!usable()) return;
    const std::wstring wide = to_wide(title);
    SendMessageW(tip_, TTM_SETTITLEW, static_cast<WPARAM>(icon),
                 reinterpret_cast<LPARAM>(wide.c_str()));
  }

  void track(bool active) override {
    if (!usable() || !tracking_) return;
    TTTOOLINFOW ti = tool();
    SendMessageW(tip_, TTM_TRACKACTIVATE, active ? TRUE : FALSE, reinterpret_cast<LPARAM>(&ti));
  }

  void track_position(int x, int y) override {
    if (!usable() || !tracking_) return;
    Win32Window* control = find_live(control_id_);
    if (control == nullptr) return;
    POINT p{tk::to_screen(x, control->dpi()), tk::to_screen(y, control->dpi())};
    ClientToScreen(control_, &p);
    SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(p.x, p.y));
  }

 private:
  // The tool: the whole control, by its window.
  TTTOOLINFOW tool() const {
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every version of the common controls
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS | TTF_TRANSPARENT;
    if (tracking_) ti.uFlags |= TTF_TRACK | TTF_ABSOLUTE;
    ti.hwnd = control_;
    ti.uId = reinterpret_cast<UINT_PTR>(control_);
    return ti;
  }
  bool usable() const { return tip_ != nullptr && IsWindow(tip_); }

  std::uint64_t control_id_;
  HWND control_;
  bool tracking_;
  HWND tip_ = nullptr;
  HFONT font_ = nullptr;
};

}  // namespace

}  // namespace kx::win32

namespace kx::tk {

std::unique_ptr<ToolTip> create_tool_tip(Window& control, const ToolTipStyle& style) {
  if (!control.alive()) return nullptr;
  return std::make_unique<win32::Win32ToolTip>(static_cast<win32::Win32Window&>(control), style);
}

}  // namespace kx::tk
