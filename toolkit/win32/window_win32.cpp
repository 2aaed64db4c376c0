// The Win32 window: what every kind shares of its making, the subclassing of the standard
// controls, the handler and what the toolkit does with a message the handler left, and the
// window procedures that dispatch each system window's messages to the object of its kind.
#include <windows.h>

#include <string>

#include "toolkit/loop_state.hpp"
#include "toolkit/win32/classes_win32.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::win32 {

Win32Window::Win32Window(const tk::CreateOptions& options) : WindowBase(options) {
  State& st = state();
  if (st.window_thread == 0) st.window_thread = GetCurrentThreadId();
  init_common_controls();
  register_classes();
  st.add(*this);
}

void Win32Window::create_control(const wchar_t* window_class, DWORD style,
                                 const std::wstring& text) {
  // Every control starts in the flat look: an edit with its thin border, the others without
  // a sunken edge. Asking for the flat look then changes nothing; the 3D look sinks it.
  look_ = 1;
  HWND parent_hwnd = parent_ != nullptr && parent_->alive() ? parent_->hwnd() : HWND_MESSAGE;
  control_id_ = state().next_control_id++;
  HWND h = CreateWindowExW(
      0, window_class, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0, 0, parent_hwnd,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id_)), instance(), nullptr);
  if (h == nullptr) return;
  subclass(h);
  // A control made later lies above those made before it: a picture placed on a label's
  // band shows on top of the label.
  SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  font_handle_ = make_font(font_, dpi());
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_handle_), FALSE);
}

Win32Window::~Win32Window() {
  State& st = state();
  handler_ = nullptr;  // the owner is going: no Destroy for it
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (hwnd_ != nullptr) detach();  // destroyed from another thread: leave the system window
  if (font_handle_ != nullptr) DeleteObject(font_handle_);
  if (brush_ != nullptr) DeleteObject(brush_);
  if (icon_big_ != nullptr) DestroyIcon(icon_big_);
  if (icon_small_ != nullptr) DestroyIcon(icon_small_);
  for (Win32Window* w : st.windows)
    if (w->parent_ == this) w->parent_ = nullptr;
  st.remove(*this);
}

MessageTarget* Win32Window::target_of(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  return static_cast<MessageTarget*>(GetPropW(hwnd, kObjectProp));
}

Win32Window* Win32Window::from_hwnd(HWND hwnd) {
  MessageTarget* target = target_of(hwnd);
  return target != nullptr ? &target->window() : nullptr;
}

void Win32Window::bind(HWND hwnd) {
  hwnd_ = hwnd;
  SetPropW(hwnd, kObjectProp, static_cast<MessageTarget*>(this));
}

void Win32Window::subclass(HWND hwnd) {
  bind(hwnd);
  original_proc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control_proc)));
  SetPropW(hwnd, kProcProp, reinterpret_cast<HANDLE>(original_proc_));
}

void Win32Window::detach() {
  if (hwnd_ == nullptr) return;
  if (original_proc_ != nullptr)
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_proc_));
  RemovePropW(hwnd_, kObjectProp);
  RemovePropW(hwnd_, kProcProp);
  hwnd_ = nullptr;
  State& st = state();
  if (st.main_form == this) st.main_form = nullptr;
}

LRESULT Win32Window::pass_on(WNDPROC original, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (original != nullptr) return CallWindowProcW(original, hwnd, msg, wp, lp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool Win32Window::run_handler(tk::Message& m) {
  if (!handler_) return true;
  const std::uint64_t self = id;
  tk::Handler h = handler_;  // the handler may replace itself
  h(m);
  return find_live(self) == this;
}

bool Win32Window::marshal(std::function<void(Win32Window&)> change) {
  if (on_window_thread()) return false;
  const std::uint64_t target = id;
  state().tasks.post([target, change = std::move(change)] {
    if (Win32Window* w = find_live(target)) change(*w);
  });
  return true;
}

void Win32Window::send(tk::Message& message) {
  if (!alive()) return;
  if (!run_handler(message)) return;
  if (!message.handled && alive()) tk_default(message);
}

void Win32Window::post(const tk::Message& message) {
  if (!alive()) return;
  const std::uint64_t target = id;
  state().tasks.post([target, message] {
    if (Win32Window* w = find_live(target)) {
      tk::Message m = message;
      w->send(m);
    }
  });
}

// What the toolkit does with a message that the handler left unhandled.
void Win32Window::tk_default(tk::Message& m) {
  State& st = state();
  switch (m.id) {
    case tk::Msg::Close:
      if (kind_ != tk::Kind::Form) break;
      ShowWindow(hwnd_, SW_HIDE);
      st.form_closed(*this);
      break;
    case tk::Msg::EndSession:
      if (session_ends(m)) ExitProcess(static_cast<UINT>(tk::loop_state().session_end_code()));
      break;
    case tk::Msg::Size:
      realign_children();
      break;
    case tk::Msg::KeyDown:
      // Enter in a form clicks its default button.
      if (m.wparam == VK_RETURN) {
        Win32Window* form = kind_ == tk::Kind::Form ? this : parent_;
        if (form == nullptr) break;
        for (Win32Window* w : st.windows) {
          if (w->parent_ == form && w->kind_ == tk::Kind::Button && w->default_button_ &&
              w->alive() && IsWindowVisible(w->hwnd_) && IsWindowEnabled(w->hwnd_)) {
            tk::Message click{tk::Msg::Click};
            w->send(click);
            break;
          }
        }
      }
      break;
    default:
      break;
  }
}

// The dispatchers: each system window's messages go to the object of its kind.
LRESULT CALLBACK class_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
    if (auto* w = static_cast<Win32Window*>(cs->lpCreateParams)) w->bind(hwnd);
  }
  if (MessageTarget* t = Win32Window::target_of(hwnd)) return t->on_message(hwnd, msg, wp, lp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK control_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (MessageTarget* t = Win32Window::target_of(hwnd)) return t->on_message(hwnd, msg, wp, lp);
  if (auto original = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kProcProp)))
    return CallWindowProcW(original, hwnd, msg, wp, lp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace kx::win32

namespace kx::tk {

using win32::state;

std::uint32_t resolve_color(std::uint32_t color) {
  if ((color & kSystemColor) != 0) return GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0x00FFFFFF;
}

std::unique_ptr<Window> create_window(const CreateOptions& options) {
  if (options.kind == Kind::Form && !state().application) create_application_window();
  return win32::Win32Window::create(options);
}

}  // namespace kx::tk
