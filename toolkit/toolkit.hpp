// The window toolkit: the thin layer the window elements and the program entry stand on.
//
// Contract for an implementation (toolkit/win32/ over user32/gdi32/comctl32, toolkit/headless/
// in memory). Everything below is called on the window thread only, except post_task (through
// kx::ElementThread), which any thread may call.
//
// Windows
// - create_window(options) makes one window of the given Kind. A Form is owned by the hidden
//   application window (create_application_window() makes it; the first Form element does
//   that); a control is a child of options.parent (a Form). Windows are created hidden and
//   stay hidden until set_visible(true). The first Form created is the main form.
// - Texts are Windows-1251 bytes at this interface. The Win32 implementation converts them to
//   UTF-16 and uses the W functions, so the texts show correctly under any ANSI code page.
// - Every window has one handler (set_handler returns the previous one; an element keeps it
//   and calls it after its own handling). The handler sees each Message before the toolkit's
//   own processing; Message::handled = true means "consumed": the toolkit then does nothing
//   more with it (a refused Close, a swallowed key). For KeyDown/KeyUp/Char the handler may
//   also set wparam to 0 to swallow the key.
// - Notifications that the platform sends to the parent (button click, edit change, combo
//   selection change, static click) are reflected to the control's own handler as Click,
//   Change and SelChange. Change is delivered synchronously inside set_text() as well, as the
//   platform's edit control does when its text is set.
// - send() runs the handler and then the toolkit's own processing at once; post() queues the
//   message through the thread's message queue and delivers it later from the loop (dropped
//   when the window is gone by then).
// - A Window object stays valid after its system window went away (the owner was destroyed):
//   its handler got a Destroy message, further operations do nothing, and deleting the object
//   only frees the object.
// - Accepted Close (handler left handled false): the window is hidden; for the main form the
//   toolkit also sends Close to the application window and quits the loop (quit()).
// - EndSession with wparam != 0 on a Form: the toolkit sets the running count to 0, clears
//   the application-window reference, sets the terminated flag, frees the application window
//   and ends the process at once, without returning to the loop: with the exit code the
//   session-end routine returns (set_session_end), else 0.
// - Mouse: MouseDown/MouseUp/DblClick carry the button (0 left, 1 right, 2 middle) in wparam;
//   MouseMove carries the held buttons as flags (1 left, 2 right, 16 middle) in wparam;
//   MouseWheel the signed wheel distance (120 per notch); x, y in client coordinates. The
//   toolkit asks the platform for MouseLeave and MouseHover notices itself.
// - Paint (Image only): the handler paints with message.canvas; Canvas::fill uses the window's
//   colour (set_color) as background brush.
//
// Loop (run_message_loop): running count 1, the application window becomes current; while
// not terminated: wait for a message, process every queued one (quit sets terminated and is
// not dispatched; the message filter may consume a message), then call the idle hook once.
// At the end: terminated set, running 0, the application window freed (its owned forms with
// it, which delivers Destroy to them).
//
// Thread hand-over: while the application window exists the toolkit is the kx::ElementThread
// (set_element_thread): post() from any thread queues the task for the window thread, where
// the loop runs it in order with the messages. Tasks posted after the window is gone are
// dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/pinned.hpp"

namespace kx::tk {

// A form's frame: its border, caption and boxes. A form is made Sizeable.
enum class Frame : std::uint8_t {
  None,                   // no border, no caption
  Single,                 // caption, minimise box, fixed size
  Sizeable,               // caption, sizing border, minimise and maximise boxes
  Dialog,                 // caption, raised edge, fixed size
  Tool,                   // small caption, fixed size
  SizeableTool,           // small caption, sizing border
  Modal,                  // dialog frame, no caption
  SizeableToolNoCaption,  // sizing border of a tool window, no caption
  ModalSunken,            // dialog frame, sunken client area, no caption
  SizeableSunken,         // sizing border, sunken client area, no caption
};
inline constexpr int kFrameCount = 10;

// The edge around a control, in place of the one it had.
enum class Edge : std::uint8_t {
  None,
  Static,        // a thin sunken edge
  Raised,        // a raised dialog edge
  RaisedSunken,  // a raised edge around a sunken client area
};

// A colour with the top bit set names the system colour whose index is the low byte.
inline constexpr std::uint32_t kSystemColor = 0x80000000u;

// The alignment of a control's text.
inline constexpr int kTextLeft = 0;
inline constexpr int kTextRight = 1;
inline constexpr int kTextCentre = 2;
inline constexpr std::uint32_t system_color(std::uint8_t index) {
  return kSystemColor | index;
}
// The RGB value (0x00BBGGRR) of a colour, system colours resolved.
std::uint32_t resolve_color(std::uint32_t color);

enum class Kind : std::uint8_t {
  Application,  // the hidden top-level window the loop runs on
  Form,         // a top-level window owned by the application window
  Button,       // push button, tab stop, multi-line caption
  Edit,         // single-line edit box with border and automatic horizontal scrolling
  Label,        // static text, reports clicks, no prefix processing, left, no word wrap
  ProgressBar,  // progress bar, range 0..max
  Image,        // static control used as a paint surface
  ComboBox,     // drop-down combo box, vertical scroll bar, tab stop, string items
};

class Window;

struct CreateOptions {
  Kind kind = Kind::Label;
  Window* parent = nullptr;     // controls: the form; a form: none (owned by the app window)
  std::string text;             // caption / initial text
  bool password = false;        // Edit
  bool read_only = false;       // Edit
  bool default_button = false;  // Button: default-button look, Enter in the form clicks it
  bool editable = false;        // ComboBox: drop-down with an edit field (else list only)
  bool sorted = false;          // ComboBox
  int item_height = 0;          // ComboBox: 0 = the platform's
  bool vertical = false;        // ProgressBar
  bool smooth = false;          // ProgressBar
};

enum class Msg : std::uint8_t {
  Close,       // lparam 0: the user's close box; 1: the program asks (not questioned)
  EndSession,  // wparam != 0: log-off or shutdown
  Move,
  Size,
  Show,  // the window became visible
  SetFocus,
  KillFocus,
  MouseDown,
  MouseUp,
  MouseMove,
  MouseWheel,
  DblClick,
  MouseHover,
  MouseLeave,
  KeyDown,    // wparam: virtual-key code
  KeyUp,      // wparam: virtual-key code
  Char,       // wparam: the character byte (Windows-1251)
  Click,      // a button or a label/image was clicked
  Change,     // an edit's text changed
  SelChange,  // a combo box's selection changed (by the user)
  Notify,     // a private notification a window posted to itself; wparam: its code
  Paint,      // canvas set
  Destroy,    // the system window is being destroyed by the toolkit
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

struct Extent {
  int width = 0;
  int height = 0;
};

struct Font {
  std::string face;
  int height = 0;               // character height (negative: points converted by points_to_height)
  std::uint8_t style_bits = 0;  // 1 bold, 2 italic, 4 underline, 8 strike-out
  std::uint32_t color = 0;
  std::uint8_t charset = 1;
};

// A picture; width and height in pixels.
class Bitmap {
 public:
  virtual ~Bitmap() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
};
// The bitmap resource of that name (a device-independent bitmap); nullptr when absent.
std::unique_ptr<Bitmap> load_bitmap(std::string_view resource_name);

inline constexpr int kStretchColorOnColor = 3;
inline constexpr int kStretchHalftone = 4;

class Canvas {
 public:
  virtual ~Canvas() = default;
  // Fills a rectangle (client coordinates) with the window's background colour.
  virtual void fill(const Rect& r) = 0;
  // Stretches the whole bitmap into the target rectangle with the given stretch mode.
  virtual void stretch(const Bitmap& bitmap, const Rect& target, int stretch_mode) = 0;
};

struct Message {
  Msg id = Msg::Close;
  std::int32_t wparam = 0;
  std::int32_t lparam = 0;
  int x = 0;
  int y = 0;
  Canvas* canvas = nullptr;
  bool handled = false;
};

using Handler = std::function<void(Message&)>;

class Window : Pinned {
 public:
  virtual ~Window() = default;
  Window() = default;

  virtual Kind kind() const = 0;
  virtual Window* parent() const = 0;
  // False once the system window is gone.
  virtual bool alive() const = 0;

  // Installs the handler and returns the one it replaces (may be empty).
  virtual Handler set_handler(Handler handler) = 0;
  virtual void send(Message& message) = 0;
  virtual void post(const Message& message) = 0;

  virtual void set_text(std::string_view text) = 0;
  virtual std::string text() const = 0;
  // Edit: the caret position in bytes.
  virtual int caret() const = 0;
  virtual void set_caret(int position) = 0;

  // Placement: left/top in the parent's client coordinates (forms: the screen); width and
  // height of the whole window.
  virtual void set_position(int left, int top) = 0;
  virtual void set_size(int width, int height) = 0;
  virtual Rect rect() const = 0;
  virtual Extent client_size() const = 0;
  // 0 none, 1 left, 2 top, 3 right, 4 bottom, 5 client area of the parent.
  virtual void set_align(int align) = 0;

  virtual void set_visible(bool visible) = 0;
  virtual bool visible() const = 0;
  virtual void set_enabled(bool enabled) = 0;
  virtual bool enabled() const = 0;

  virtual void set_color(std::uint32_t color) = 0;
  virtual void set_font(const Font& font) = 0;
  virtual void use_parent_font() = 0;
  // Size of a (possibly multi-line) text in the window's current font.
  virtual Extent measure_text(std::string_view text) const = 0;

  // 0: 3D look (sunken client edge, no thin border); 1: flat look (thin border). No change
  // when the window already has that look.
  virtual void set_look(int look) = 0;
  // > 0: tab stop with this order; 0: no tab stop, can take the focus; < 0: cannot take it.
  virtual void set_tab_order(int order) = 0;
  // Form: the frame; the system menu and the client area's edge are kept.
  virtual void set_frame(Frame frame) = 0;
  // The edge drawn around the window (a control's), replacing the one it had.
  virtual void set_edge(Edge edge) = 0;
  // Button: the flat look.
  virtual void set_flat() = 0;
  // The application window: a tool window, which the taskbar does not show.
  virtual void hide_from_taskbar() = 0;
  // Edit and Label: kTextLeft, kTextRight or kTextCentre. A label loses its no-word-wrap style.
  virtual void set_alignment(int alignment) = 0;

  virtual void set_icon(std::string_view resource_name) = 0;
  virtual void set_mouse_capture(bool capture) = 0;
  // Form: lets the system move the window with the mouse (the caption drag).
  virtual void begin_drag_move() = 0;
  // Form: Tab and Shift+Tab move the focus between the tab stops.
  virtual void enable_tab_navigation() = 0;
  virtual void set_redraw(bool on) = 0;
  virtual void invalidate() = 0;

  // ComboBox items. Indexes are 0-based; -1 means none / failure.
  virtual int add_item(std::string_view text) = 0;
  virtual int insert_item(int index, std::string_view text) = 0;
  virtual void delete_item(int index) = 0;
  virtual void clear_items() = 0;
  virtual int item_count() const = 0;
  virtual std::string item_text(int index) const = 0;
  // The item's number; -1 for an invalid index.
  virtual std::int32_t item_data(int index) const = 0;
  virtual void set_item_data(int index, std::int32_t value) = 0;
  virtual int selection() const = 0;
  // Selects item i (no SelChange); an index out of range selects nothing.
  virtual void select(int index) = 0;
  virtual void reserve_storage(std::size_t bytes) = 0;

  // ProgressBar: range 0..max; the position is clamped into the range.
  virtual void set_range(int max) = 0;
  virtual void set_progress(int position) = 0;
  virtual void set_bar_color(std::uint32_t color) = 0;
};

std::unique_ptr<Window> create_window(const CreateOptions& options);

// How a tool-tip looks and behaves.
struct ToolTipStyle {
  bool balloon = false;   // a balloon instead of a plain rectangle
  bool tracking = false;  // shown and placed by track() and track_position(), not by resting
  Font font;              // its colour is the text colour
  std::uint32_t back_color = system_color(24);
  int initial_delay = 500;  // ms
  int auto_pop_delay = 5000;
  int margin = 0;  // on all four sides
};

// The tool-tip of one control: a tip window with one tool, the whole control. Its text shows
// when the mouse rests on the control (a tracking tip: while track(true)). Deleting the object
// removes the tool and the tip window.
class ToolTip : Pinned {
 public:
  virtual ~ToolTip() = default;
  ToolTip() = default;

  virtual void set_text(std::string_view text) = 0;
  // icon: 0 none, 1 information, 2 warning, 3 error.
  virtual void set_title(int icon, std::string_view title) = 0;
  virtual void track(bool active) = 0;
  // A tracking tip's place: x, y in the control's client coordinates.
  virtual void track_position(int x, int y) = 0;
};

// A tool-tip for a live control, without text; nullptr when the control is gone.
std::unique_ptr<ToolTip> create_tool_tip(Window& control, const ToolTipStyle& style);

// The application window: created by the first form, shared by all forms; nullptr when none.
Window* application_window();
Window& create_application_window();

// The message loop (see the contract above); returns when the loop is terminated.
void run_message_loop();
// Posts the quit message.
void quit();
bool terminated();
int running_count();
// Optional: a filter that may consume a message before it is dispatched (the argument is the
// platform's message record) and the idle hook called after each batch of messages.
void set_message_filter(std::function<bool(void* native_message)> filter);
void set_idle_hook(std::function<void()> hook);
// Optional: what runs when the session ends, after the loop is over and before the process
// ends; it returns the exit code. Window thread.
void set_session_end(std::function<int()> routine);

// The work area (the screen less the taskbar) of the monitor the form is on, in design pixels
// at the form's resolution.
Rect work_area(const Window& form);

// A message box without owner and with a single OK button.
void message_box(std::string_view caption, std::string_view text);

// A long task of the program (the transfer) as the system sees it. Busy: the machine is kept
// from sleeping and the taskbar button shows the task's progress; Idle: both are released;
// Failed: released, and the taskbar button shows the error state. Where the system has no
// such thing, nothing happens.
enum class TaskState : std::uint8_t { Idle, Busy, Failed };
void set_task_state(TaskState state);
// The task's progress, position out of max; shown while Busy (and kept for Failed).
void set_task_progress(int position, int max);

}  // namespace kx::tk
