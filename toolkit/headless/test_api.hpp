// Driving the headless toolkit as a user would, and reading what the window shows.
//
// The test's own thread is the window thread: it constructs the elements, acts here, and runs
// the toolkit's queue with run_until() / drain() so that posted messages and the tasks that
// back-end threads hand over (kx::post_to_element_thread) are delivered. The toolkit installs
// its queue as the element thread when the application window is created (the first form).
//
// A user's action reaches a control only when the control and every window above it are
// visible and enabled; the action functions answer whether it did.
//
// An element's window is element.control(); the windows of a scheme are found through its
// elements (scheme->btnWrite->control()) or by text with find_window().
//
// Where the headless toolkit differs from the Win32 one: run_message_loop() waits at most
// 20 ms for a queued item, so the idle hook also runs while nothing happens (a test may drive
// the tool from it); the message filter is offered each posted window message as a
// tk::Message*; text metrics are those of measure_text in window_headless.cpp; aligned
// controls keep to their edge without stacking; a form with a frame has a 3-pixel border and
// a 22-pixel caption (503 x 162 gives a 497 x 134 client area).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolkit/toolkit.hpp"

namespace kx::headless {

// Frees the application window and every toolkit state (queue, loop flags, main form,
// message boxes, filter, idle hook, exit routine). Call between tests, after the elements
// of the previous test are gone.
void reset();

// ---- finding windows ----
// Every window alive, in creation order; with a kind, only those of that kind.
std::vector<tk::Window*> windows(std::optional<tk::Kind> kind = std::nullopt);
// The first live window whose text equals `text` (a button's caption, a label's caption, an
// edit's text, a form's caption); nullptr when none.
tk::Window* find_window(std::string_view text, std::optional<tk::Kind> kind = std::nullopt);
// The main form (the first form created), nullptr when gone.
tk::Window* main_form();

// ---- acting as the user ----
// Mouse down, mouse up and the click notification on a button, label or image.
bool click(tk::Window& control);
// Picks item `index` of a combo box from its list: the selection changes, then the selection
// change notification comes; the element reports the choice when the queue runs.
bool choose_item(tk::Window& combo, int index);
bool choose_item(tk::Window& combo, std::string_view text);
// Key down, the character the key types, key up. Only Backspace (8), Enter (13), space,
// digits and letters ('A'..'Z', typing the lower-case letter) type a character; other keys
// (arrows 37/39, Home 36, End 35, Delete 46, ...) only go down and up.
bool press_key(tk::Window& control, int virtual_key);
// Types each byte of the text (Windows-1251): the character with a matching key code.
bool type_text(tk::Window& control, std::string_view text);
// The close box of a form (a close by the user: lparam 0).
bool close_box(tk::Window& form);
// Pressing the mouse at (x, y) in the form's client area and moving it by (dx, dy); the form
// moves when the press started the system's drag (DragByClient).
bool drag(tk::Window& form, int x, int y, int dx, int dy);
// Mouse messages over a window.
bool mouse_move(tk::Window& w, int x, int y);
bool mouse_hover(tk::Window& w);
bool mouse_leave(tk::Window& w);
bool mouse_wheel(tk::Window& w, int delta);
// The system asks to end the session (WM_ENDSESSION with a non-zero wParam). The toolkit ends
// the process; with set_exit_routine the routine gets the exit code instead.
void end_session(tk::Window& form);
void set_exit_routine(std::function<void(int)> routine);

// ---- reading what is shown ----
// Visible and every window above visible.
bool shown(const tk::Window& w);
// Enabled and every window above enabled.
bool usable(const tk::Window& w);
int progress_position(const tk::Window& bar);
int progress_max(const tk::Window& bar);
std::uint32_t bar_color(const tk::Window& bar);
std::uint32_t color(const tk::Window& w);
tk::Font font(const tk::Window& w);
std::string icon(const tk::Window& w);
int look(const tk::Window& w);  // 0 3D, 1 flat, 2 as created
// The style words the window would have on the system (toolkit/style_bits.hpp), and a style
// word set directly.
std::uint32_t style(const tk::Window& w);
std::uint32_t ex_style(const tk::Window& w);
void set_style(tk::Window& w, std::uint32_t style);
int tab_order(const tk::Window& w);
int alignment(const tk::Window& w);
bool word_wrap(const tk::Window& w);
bool mouse_captured(const tk::Window& w);
bool tab_navigation(const tk::Window& form);
std::vector<std::string> items(const tk::Window& combo);
// Construction options kept by the window.
bool read_only(const tk::Window& edit);
bool password(const tk::Window& edit);
bool editable(const tk::Window& combo);
int item_height(const tk::Window& combo);
// The system reports that a serial port arrived or went: the device-change listener runs.
void device_change();

// ---- the screen's resolution ----
// Geometry at the toolkit's interface is in design pixels (96 per inch); the screen has them
// scaled by the resolution of the form's monitor (toolkit/dpi.hpp). Forms made after
// set_screen_dpi are shown at that resolution; move_to_monitor is a form moving to a monitor
// of another one (its controls follow).
void set_screen_dpi(int dpi);
// The screen's work area in screen pixels (tk::work_area gives it in design pixels).
void set_work_area(const tk::Rect& screen_pixels);
void move_to_monitor(tk::Window& form, int dpi);
int dpi(const tk::Window& w);
// Where the window is on the screen (a control: in its form's client area), in screen pixels.
tk::Rect screen_rect(const tk::Window& w);
// The window's own text as the screen shows it, in its font at its resolution.
tk::Extent screen_text_extent(const tk::Window& w);

// The long task as the system would see it: the state now, every change of it in order
// (a repeated state counts again), and the last progress {position, max}.
tk::TaskState task_state();
const std::vector<tk::TaskState>& task_states();
std::pair<int, int> task_progress();
// Every message box shown: {caption, text}.
const std::vector<std::pair<std::string, std::string>>& message_boxes();

// A tool-tip as the system would have it: the control it is for, its look, what it shows
// and, for a tracking tip, whether it is on and where.
struct ToolTipView {
  const tk::Window* control = nullptr;
  tk::ToolTipStyle style;
  std::string text;
  std::string title;
  int title_icon = 0;
  bool tracking = false;
  int x = 0;
  int y = 0;
};
// Every tool-tip in existence, in creation order.
std::vector<ToolTipView> tool_tips();

// One painting of a window (an Image), as drawing operations.
struct PaintOp {
  enum Kind { Fill, Stretch } kind;
  tk::Rect rect;
  std::uint32_t color = 0;  // Fill: the background colour
  int bitmap_width = 0;     // Stretch
  int bitmap_height = 0;
  int stretch_mode = 0;
};
std::vector<PaintOp> paint(tk::Window& image);

// A bitmap of the given size, for elements that take one.
std::unique_ptr<tk::Bitmap> make_bitmap(int width, int height);

// ---- the loop ----
// Runs the queue (posted messages, handed-over tasks, the quit message) until pred() holds,
// the loop is terminated or the time-out passes; answers pred().
bool run_until(const std::function<bool()>& pred,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
// Runs everything queued now and what that queues; answers how many were run.
std::size_t drain();

}  // namespace kx::headless
