// A combo box; an editable one has an edit field of its own, whose keys are the combo box's.
#include <windows.h>

#include <commctrl.h>

#include "toolkit/win32/window_kinds_win32.hpp"

namespace kx::win32 {

namespace {

DWORD combo_style(const tk::CreateOptions& o) {
  return WS_VSCROLL | WS_TABSTOP | CBS_HASSTRINGS | CBS_AUTOHSCROLL |
         static_cast<DWORD>(o.editable ? CBS_DROPDOWN : CBS_DROPDOWNLIST) |
         (o.sorted ? CBS_SORT : 0);
}

}  // namespace

ComboBoxWindow::ComboBoxWindow(const tk::CreateOptions& options)
    : ControlWindow(options, WC_COMBOBOXW, combo_style(options)) {
  if (!options.editable || !alive()) return;
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (!GetComboBoxInfo(hwnd_, &info) || info.hwndItem == nullptr || info.hwndItem == hwnd_) return;
  edit_ = std::make_unique<ComboEdit>(*this, info.hwndItem);
}

HWND ComboBoxWindow::focus_hwnd() const {
  return edit_ != nullptr && edit_->hwnd() != nullptr ? edit_->hwnd() : hwnd_;
}

ComboEdit::ComboEdit(Win32Window& combo, HWND edit) : combo_(combo), hwnd_(edit) {
  SetPropW(hwnd_, kObjectProp, static_cast<MessageTarget*>(this));
  original_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control_proc)));
  SetPropW(hwnd_, kProcProp, reinterpret_cast<HANDLE>(original_));
}

ComboEdit::~ComboEdit() {
  if (hwnd_ != nullptr && IsWindow(hwnd_))
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
  release();
}

void ComboEdit::release() {
  if (hwnd_ == nullptr) return;
  RemovePropW(hwnd_, kObjectProp);
  RemovePropW(hwnd_, kProcProp);
  hwnd_ = nullptr;
}

LRESULT ComboEdit::on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCDESTROY) {
    const LRESULT r = CallWindowProcW(original_, hwnd, msg, wp, lp);
    release();
    return r;
  }
  if (combo_.refuse_focus(msg, wp)) return 0;
  tk::Message m;
  if (!Win32Window::translate_key(msg, wp, m)) return CallWindowProcW(original_, hwnd, msg, wp, lp);
  return combo_.deliver(m, hwnd, msg, wp, lp, original_);
}

}  // namespace kx::win32
