// The items of a combo box and the range, position and colour of a progress bar.
#include <windows.h>

#include <commctrl.h>

#include "toolkit/win32/text_win32.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::win32 {

// ---- combo box items ----

int Win32Window::add_item(std::string_view text) {
  if (!alive() || kind_ != tk::Kind::ComboBox) return -1;
  const std::wstring w = to_wide(text);
  const auto r = SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
  return r < 0 ? -1 : static_cast<int>(r);
}

int Win32Window::insert_item(int index, std::string_view text) {
  if (!alive() || kind_ != tk::Kind::ComboBox) return -1;
  const std::wstring w = to_wide(text);
  const auto r = SendMessageW(hwnd_, CB_INSERTSTRING, static_cast<WPARAM>(index),
                              reinterpret_cast<LPARAM>(w.c_str()));
  return r < 0 ? -1 : static_cast<int>(r);
}

void Win32Window::delete_item(int index) {
  if (marshal([index](Win32Window& w) { w.delete_item(index); })) return;
  if (alive() && kind_ == tk::Kind::ComboBox && index >= 0)
    SendMessageW(hwnd_, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void Win32Window::clear_items() {
  if (marshal([](Win32Window& w) { w.clear_items(); })) return;
  if (alive() && kind_ == tk::Kind::ComboBox) SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
}

int Win32Window::item_count() const {
  if (!alive() || kind_ != tk::Kind::ComboBox) return 0;
  const auto r = SendMessageW(hwnd_, CB_GETCOUNT, 0, 0);
  return r < 0 ? 0 : static_cast<int>(r);
}

std::string Win32Window::item_text(int index) const {
  if (!alive() || kind_ != tk::Kind::ComboBox || index < 0) return {};
  const auto n = SendMessageW(hwnd_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n < 0) return {};
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  const auto got = SendMessageW(hwnd_, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                reinterpret_cast<LPARAM>(w.data()));
  if (got < 0) return {};
  w.resize(static_cast<std::size_t>(got));
  return from_wide(w);
}

std::int32_t Win32Window::item_data(int index) const {
  if (!alive() || kind_ != tk::Kind::ComboBox || index < 0) return -1;
  return static_cast<std::int32_t>(
      SendMessageW(hwnd_, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

void Win32Window::set_item_data(int index, std::int32_t value) {
  if (marshal([index, value](Win32Window& w) { w.set_item_data(index, value); })) return;
  if (alive() && kind_ == tk::Kind::ComboBox && index >= 0)
    SendMessageW(hwnd_, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(value));
}

int Win32Window::selection() const {
  if (!alive() || kind_ != tk::Kind::ComboBox) return -1;
  const auto r = SendMessageW(hwnd_, CB_GETCURSEL, 0, 0);
  return r < 0 ? -1 : static_cast<int>(r);
}

void Win32Window::select(int index) {
  if (marshal([index](Win32Window& w) { w.select(index); })) return;
  if (!alive() || kind_ != tk::Kind::ComboBox) return;
  if (index < 0 || index >= item_count()) index = -1;
  SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Win32Window::reserve_storage(std::size_t bytes) {
  if (marshal([bytes](Win32Window& w) { w.reserve_storage(bytes); })) return;
  if (alive() && kind_ == tk::Kind::ComboBox)
    SendMessageW(hwnd_, CB_INITSTORAGE, 0, static_cast<LPARAM>(bytes));
}

// ---- progress bar ----

void Win32Window::set_range(int max) {
  if (marshal([max](Win32Window& w) { w.set_range(max); })) return;
  if (alive() && kind_ == tk::Kind::ProgressBar)
    SendMessageW(hwnd_, PBM_SETRANGE32, 0, static_cast<LPARAM>(max));
}

void Win32Window::set_progress(int position) {
  if (marshal([position](Win32Window& w) { w.set_progress(position); })) return;
  if (!alive() || kind_ != tk::Kind::ProgressBar) return;
  // The bar repaints as soon as its position changes (most of a millisecond under Wine), so it
  // is moved once the step that moved it has ended and what that step wrote to a port has left;
  // positions set meanwhile are drawn once, the last one.
  progress_later_ = position;
  if (progress_queued_) return;
  progress_queued_ = true;
  const std::uint64_t target = id;
  state().tasks.post([target] {
    if (Win32Window* w = find_live(target)) w->show_progress();
  });
}

void Win32Window::show_progress() {
  progress_queued_ = false;
  if (alive()) SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(progress_later_), 0);
}

void Win32Window::set_bar_color(std::uint32_t color) {
  if (marshal([color](Win32Window& w) { w.set_bar_color(color); })) return;
  if (alive() && kind_ == tk::Kind::ProgressBar)
    SendMessageW(hwnd_, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(tk::resolve_color(color)));
}
}  // namespace kx::win32
