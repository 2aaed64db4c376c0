// What the parts of wdrive share: output, reading another process's windows and controls, and
// the commands that wmain dispatches to.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wdrive {

// --- output and texts (output.cpp) ---

std::string to_utf8(const std::wstring& w);
// One line to standard output.
void out(const std::string& line);
// One line to standard error, after "wdrive: ".
void err(const std::string& line);
// In double quotes, control characters escaped so that one control stays on one output line.
std::string quoted(const std::wstring& w);
// Milliseconds since the Unix epoch, so that the caller can compare with its own clocks.
long long epoch_ms();
bool all_digits(const std::wstring& s);

// --- windows and controls of another process (windows.cpp) ---

// A message sent with a timeout, so that a hung window does not hang us; false when it did
// not answer.
bool send(HWND w, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result);
std::wstring class_of(HWND w);
// The control's own text, asked of the control (an edit control keeps its text to itself).
std::wstring text_of(HWND w);
std::vector<std::wstring> combo_items(HWND combo);
bool same_class(const std::wstring& a, const wchar_t* b);

// The top-level windows that match WINDOW: the exact caption, or "class:NAME".
struct FindTop {
  std::wstring caption;
  std::wstring cls;  // non-empty: match by class instead of caption
  HWND visible = nullptr;
  HWND hidden = nullptr;
  bool count_all = false;  // go on after the first visible match, counting
  int visible_count = 0;
};

FindTop search(const std::wstring& spec, bool count_all);
// A visible window is preferred; with only_visible a hidden one does not count.
HWND find_top(const std::wstring& spec, bool only_visible);
// As find_top, and tells on standard error when there is none.
HWND need_top(const std::wstring& spec);

struct Control {
  HWND hwnd;
  std::wstring cls;
  int id;
  bool visible;
  bool enabled;
  std::wstring text;
};

std::vector<Control> controls_of(HWND top);
// "CLASS id=N visible=V enabled=E "TEXT"".
std::string describe(const Control& c);
// The first control whose text contains TEXT (with only_visible, the first visible one).
const Control* find_text(const std::vector<Control>& cs, const std::wstring& text,
                         bool only_visible);

// The form of that caption (an owned window, shown or not) and the window with its taskbar
// button: its owner, or the form itself when it has none.
struct FormAndButton {
  HWND form = nullptr;
  HWND button = nullptr;
};

FormAndButton find_form(const std::wstring& caption);

// --- commands; each returns the exit code ---

// On the controls (controls.cpp).
int cmd_list(const std::wstring& spec);
int cmd_choose(const std::wstring& spec, const std::wstring& item);
int cmd_click(const std::wstring& spec, const std::wstring& what);
int cmd_state(const std::wstring& spec, const std::wstring& text);
int cmd_wait(const std::wstring& spec, const std::wstring& text, DWORD timeout_ms);

// On the window as a whole (window.cpp).
int cmd_ping(const std::wstring& spec);
int cmd_count(const std::wstring& spec);
int cmd_close(const std::wstring& spec);
int cmd_waitgone(const std::wstring& spec, DWORD timeout_ms);
int cmd_syscommand(const std::wstring& spec, bool minimize);
int cmd_showstate(const std::wstring& spec);
int cmd_devicechange(const std::wstring& spec, const std::wstring& what, const std::wstring& port);
int cmd_freeze(const std::wstring& spec);

// The form's layout and whether its texts fit (layout.cpp). A control's font cannot be read
// from another process: the text is measured in the font the window's design gives it ("MS Sans
// Serif", Cyrillic), in points at the window's resolution.
struct FontSpec {
  std::wstring text_prefix;  // empty: every other text
  int points = 8;
  bool bold = false;
};

// "10b=TEXT" or "10=TEXT": texts that begin with TEXT have that size (b: bold).
bool parse_font_spec(const std::wstring& arg, FontSpec& spec);
int cmd_layout(const std::wstring& spec, const std::vector<FontSpec>& fonts);

}  // namespace wdrive
