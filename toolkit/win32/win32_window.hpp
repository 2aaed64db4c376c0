// The Win32 window of the toolkit and the toolkit's global state (private to toolkit/win32/).
// Its members are defined by concern: window_win32.cpp (subclassing, the handler, the
// toolkit's default processing, the window procedures), messages_win32.cpp (the messages every
// window translates alike), placement_win32.cpp, look_win32.cpp (text, state and look),
// controls_win32.cpp (combo box, progress bar); loop_win32.cpp holds the state, the task queue
// and the loop; classes_win32.cpp the window classes and fonts; tool_tip_win32.cpp the
// tool-tips. Each kind of window is a class of its own (window_kinds_win32.hpp) that makes its
// system window and handles the messages only it has.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/wake_queue.hpp"
#include "toolkit/toolkit.hpp"
#include "toolkit/window_base.hpp"
#include "toolkit/window_registry.hpp"

namespace kx::win32 {

class Win32Window;

// What the window procedures hand a system window's messages to: a window of the toolkit, or a
// part of one (the edit field of a combo box).
class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual LRESULT on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) = 0;
  // The toolkit's window the system window belongs to.
  virtual Win32Window& window() = 0;
};

class Win32Window : public tk::WindowBase<Win32Window>, public MessageTarget {
 public:
  // A window of the kind the options name (control_window_win32.cpp).
  static std::unique_ptr<Win32Window> create(const tk::CreateOptions& options);
  ~Win32Window() override;

  bool alive() const override { return hwnd_ != nullptr; }

  void send(tk::Message& message) override;
  void post(const tk::Message& message) override;

  void set_text(std::string_view text) override;
  std::string text() const override;
  int caret() const override;
  void set_caret(int position) override;

  void set_position(int left, int top) override;
  void set_size(int width, int height) override;
  tk::Rect rect() const override;
  tk::Extent client_size() const override;
  void set_align(int align) override;

  void set_visible(bool visible) override;
  bool visible() const override;
  void set_enabled(bool enabled) override;
  bool enabled() const override;

  void set_color(std::uint32_t color) override;
  void set_font(const tk::Font& font) override;
  void use_parent_font() override;
  tk::Extent measure_text(std::string_view text) const override;

  void set_look(int look) override;
  void set_tab_order(int order) override;
  void set_frame(tk::Frame frame) override;
  void set_edge(tk::Edge edge) override;
  void set_flat() override;
  void hide_from_taskbar() override;
  void set_alignment(int alignment) override;

  void set_icon(std::string_view resource_name) override;
  void set_mouse_capture(bool capture) override;
  void begin_drag_move() override;
  void set_redraw(bool on) override;
  void invalidate() override;

  int add_item(std::string_view text) override;
  int insert_item(int index, std::string_view text) override;
  void delete_item(int index) override;
  void clear_items() override;
  int item_count() const override;
  std::string item_text(int index) const override;
  std::int32_t item_data(int index) const override;
  void set_item_data(int index, std::int32_t value) override;
  int selection() const override;
  void select(int index) override;
  void reserve_storage(std::size_t bytes) override;

  void set_range(int max) override;
  void set_progress(int position) override;
  void set_bar_color(std::uint32_t color) override;

  // Internals for the window procedures and the loop.
  static MessageTarget* target_of(HWND hwnd);
  // The toolkit's window of a system window (of the combo box, for its edit field).
  static Win32Window* from_hwnd(HWND hwnd);
  // Our own window classes (application, form) bind the object while the window is created.
  void bind(HWND hwnd);
  // What every window does with a message: the toolkit's meaning given to the handler, and the
  // rest to the system. A kind handles its own messages first and leaves the others to this.
  LRESULT on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;
  Win32Window& window() override { return *this; }
  HWND hwnd() const { return hwnd_; }
  int tab_order() const { return tab_order_; }
  bool tab_navigation() const { return tab_navigation_; }
  // Tab / Shift+Tab inside this form: moves the focus to the next tab stop by tab order.
  void move_focus(bool backwards);
  // The screen resolution the window is shown at (a control: its form's).
  int dpi() const;
  // A control with a negative tab order does not take the focus: on WM_SETFOCUS it goes back
  // where it was (`wp`, the window that lost it). True when it was sent back.
  bool refuse_focus(UINT msg, WPARAM wp);
  // The system's key message as the toolkit's (KeyDown, KeyUp, Char); false for any other.
  static bool translate_key(UINT msg, WPARAM wp, tk::Message& m);
  // Gives a translated message to the handler and the toolkit's processing, then what is left
  // of it to `original` (nullptr: the system's default) for `hwnd`.
  LRESULT deliver(tk::Message& m, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, WNDPROC original);
  // A notification the parent got for this control (WM_COMMAND), as the control's message.
  void reflect_notification(WORD code);
  // The colours of this control, asked for by its parent (WM_CTLCOLOR...): the brush.
  LRESULT control_colors(HDC dc);
  bool has_color() const { return has_color_; }

 protected:
  explicit Win32Window(const tk::CreateOptions& options);
  // Makes a standard control of `window_class` on the parent form (or the message-only
  // parent): subclassed, above the controls made before it, with the window's font.
  void create_control(const wchar_t* window_class, DWORD style, const std::wstring& text);
  // The window the keyboard focus goes to when the tab order reaches this one.
  virtual HWND focus_hwnd() const { return hwnd_; }
  // The system's message as the toolkit's; false when it has no meaning for the toolkit.
  bool translate(UINT msg, WPARAM wp, LPARAM lp, tk::Message& m) const;
  HBRUSH brush() const { return brush_; }
  // Runs the handler on a message; false when the window went away meanwhile.
  bool run_handler(tk::Message& m);
  void change_dpi(int dpi, const RECT& suggested);

  HWND hwnd_ = nullptr;
  int dpi_ = 96;  // a form's; its controls take the form's

 private:
  static LRESULT pass_on(WNDPROC original, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void tk_default(tk::Message& m);
  void apply_align();
  void apply_size();
  void keep_on_screen();
  void realign_children();
  void frame_changed();
  // GWL_STYLE or GWL_EXSTYLE: read (0 once dead), and replaced with the frame redrawn.
  std::uint32_t style_word(int index) const;
  void replace_style_word(int index, std::uint32_t value);
  // The style word replaced and the window redrawn.
  void set_style(std::uint32_t style);
  void subclass(HWND hwnd);
  void detach();
  // Off the window thread: hands the change over as a task; true when it did.
  bool marshal(std::function<void(Win32Window&)> change);
  // Draws the position set_progress kept.
  void show_progress();

  WNDPROC original_proc_ = nullptr;  // a subclassed control's own procedure
  tk::Rect design_;                  // the placement asked for, in design pixels
  bool sized_ = false;
  bool has_color_ = false;
  std::uint32_t color_ = 0;
  HBRUSH brush_ = nullptr;
  HFONT font_handle_ = nullptr;
  int look_ = 2;
  int control_id_ = 0;
  HICON icon_big_ = nullptr;
  HICON icon_small_ = nullptr;
  int progress_later_ = 0;        // the bar's position, drawn by show_progress
  bool progress_queued_ = false;  // show_progress is on its way
};

class Win32Bitmap final : public tk::Bitmap {
 public:
  Win32Bitmap(std::vector<std::uint8_t> info, const std::uint8_t* bits, int w, int h)
      : info_(std::move(info)), bits_(bits), width_(w), height_(h) {}
  int width() const override { return width_; }
  int height() const override { return height_; }
  const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(info_.data()); }
  const std::uint8_t* bits() const { return bits_; }

 private:
  std::vector<std::uint8_t> info_;  // header and colour table, aligned copy
  const std::uint8_t* bits_;        // pixels inside the resource (lives as long as the program)
  int width_;
  int height_;
};

struct State : tk::WindowRegistry<Win32Window> {
  DWORD window_thread = 0;
  int next_control_id = 100;
  // The hand-over of tasks to the window thread: a private message to the application window
  // makes the window thread run what is queued, in order. Tasks handed over before that window
  // exists run once it does.
  WakeQueue tasks;
};

State& state();
inline Win32Window* find_live(std::uint64_t id) {
  return state().find_live(id);
}
bool on_window_thread();

// The window procedures: of the toolkit's own classes, and of a subclassed standard control.
LRESULT CALLBACK class_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK control_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// The window properties that tie a system window to its object and keep a subclassed
// control's own procedure.
inline constexpr wchar_t kObjectProp[] = L"KxWindowObject";
inline constexpr wchar_t kProcProp[] = L"KxWindowProc";

// The private messages of the toolkit.
inline constexpr UINT kTaskMessage = WM_APP + 0x4B1;

}  // namespace kx::win32
