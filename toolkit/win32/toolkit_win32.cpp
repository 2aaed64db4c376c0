// The Win32 toolkit: user32 windows and standard controls, the message loop with its quit
// flag, filter and idle hook, close-to-quit, and the hand-over of tasks to the window thread.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "runtime/resource.hpp"
#include "runtime/tdata.hpp"
#include "toolkit/bmp_reader.hpp"
#include "toolkit/dpi.hpp"
#include "toolkit/win32/device_change_win32.hpp"
#include "toolkit/win32/dpi_win32.hpp"
#include "toolkit/win32/minimize_win32.hpp"
#include "toolkit/win32/system_library.hpp"
#include "toolkit/win32/text_win32.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::win32 {

namespace {

constexpr wchar_t kApplicationClass[] = L"KxApplicationWindow";
constexpr wchar_t kFormClass[] = L"KxFormWindow";
constexpr wchar_t kObjectProp[] = L"KxWindowObject";
constexpr wchar_t kProcProp[] = L"KxWindowProc";
// A drop-down combo box is sized with room for its list below the edit field.
constexpr int kComboListHeight = 160;

LRESULT CALLBACK class_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK control_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

HINSTANCE instance() {
  return GetModuleHandleW(nullptr);
}

// The common controls, once, from the system folder (version 6 through the manifest): their
// window classes for this process.
void init_common_controls() {
  static bool done = false;
  if (done) return;
  done = true;
  using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  if (auto init_ex = system_function<InitEx>(L"comctl32.dll", "InitCommonControlsEx")) {
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX),
                             ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    init_ex(&icc);
  }
}

void register_classes() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = class_proc;
  wc.hInstance = instance();
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kApplicationClass;
  RegisterClassExW(&wc);
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);
}

// The font at a screen resolution (its height is in design pixels).
HFONT make_font(const tk::Font& f, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = tk::to_screen(f.height, dpi);
  lf.lfWeight = (f.style_bits & 1) != 0 ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (f.style_bits & 2) != 0 ? 1 : 0;
  lf.lfUnderline = (f.style_bits & 4) != 0 ? 1 : 0;
  lf.lfStrikeOut = (f.style_bits & 8) != 0 ? 1 : 0;
  // The texts are Windows-1251: "the system's default" character set is the Cyrillic one, as
  // on a Russian system. Otherwise a face that exists in several character sets (a bitmap
  // face such as MS Sans Serif) would be picked without its Cyrillic letters on a system of
  // another code page.
  lf.lfCharSet = f.charset == DEFAULT_CHARSET ? static_cast<BYTE>(RUSSIAN_CHARSET) : f.charset;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const std::wstring face = to_wide(f.face).substr(0, LF_FACESIZE - 1);
  std::copy(face.begin(), face.end(), lf.lfFaceName);
  return CreateFontIndirectW(&lf);
}

// The classic drawing for a control whose colours the program sets: a visual style would
// ignore them (a progress bar's bar and background colour). uxtheme is optional.
void classic_look(HWND hwnd) {
  using SetTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  static const auto set_theme = system_function<SetTheme>(L"uxtheme.dll", "SetWindowTheme");
  if (set_theme != nullptr) set_theme(hwnd, L" ", L" ");  // a class list that names no style
}

tk::Font default_font() {
  tk::Font f;
  f.face = "MS Sans Serif";
  f.height = points_to_height(8);
  f.charset = 1;
  return f;
}

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

std::string window_text(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return {};
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, w.data(), n + 1);
  w.resize(static_cast<std::size_t>(std::max(0, got)));
  return from_wide(w);
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

// ---- state ----

State& state() {
  static State s;
  return s;
}

Win32Window* find_live(std::uint64_t id) {
  for (Win32Window* w : state().windows)
    if (w->id == id) return w->alive() ? w : nullptr;
  return nullptr;
}

bool on_window_thread() {
  const DWORD t = state().window_thread;
  return t == 0 || t == GetCurrentThreadId();
}

void free_application_window() {
  State& st = state();
  if (!st.application) return;
  st.application_hwnd.store(nullptr);
  if (element_thread() == &st.tasks) set_element_thread(nullptr);
  // Destroying the application window destroys the forms it owns and their controls.
  st.application.reset();
  st.main_form = nullptr;
  st.tasks.clear();
}

// ---- the hand-over of tasks ----

void TaskQueue::post(std::function<void()> task) {
  bool signal = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
    if (!signalled_) signalled_ = signal = true;
  }
  if (!signal) return;
  HWND app = state().application_hwnd.load();
  if (app == nullptr || !PostMessageW(app, kTaskMessage, 0, 0)) {
    // No window to wake yet: the tasks wait for the next post that can.
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
  }
}

void TaskQueue::run_pending() {
  std::size_t n = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
    n = tasks_.size();
  }
  // Only the tasks queued now: those queued meanwhile wait behind the messages that came
  // before them.
  for (std::size_t i = 0; i < n; ++i) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (tasks_.empty()) break;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
  bool signal = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tasks_.empty() && !signalled_) signalled_ = signal = true;
  }
  if (signal) {
    HWND app = state().application_hwnd.load();
    if (app == nullptr || !PostMessageW(app, kTaskMessage, 0, 0)) {
      std::lock_guard<std::mutex> lock(mutex_);
      signalled_ = false;
    }
  }
}

void TaskQueue::clear() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(tasks_);
    signalled_ = false;
  }
}

// ---- the window ----

Win32Window::Win32Window(const tk::CreateOptions& options)
    : kind_(options.kind),
      parent_(static_cast<Win32Window*>(options.parent)),
      font_(default_font()),
      default_button_(options.default_button),
      read_only_(options.read_only) {
  State& st = state();
  if (st.window_thread == 0) st.window_thread = GetCurrentThreadId();
  init_common_controls();
  register_classes();
  id = st.next_id++;
  st.windows.push_back(this);

  const std::wstring text = to_wide(options.text);
  switch (kind_) {
    case tk::Kind::Application:
      // Without a frame and of no size; the system menu and minimise box let the taskbar
      // minimise and restore it.
      CreateWindowExW(0, kApplicationClass, text.c_str(), WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0,
                      0, 0, 0, nullptr, nullptr, instance(), this);
      return;
    case tk::Kind::Form: {
      HWND owner = st.application ? st.application->hwnd() : nullptr;
      CreateWindowExW(0, kFormClass, text.c_str(),
                      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                          WS_MAXIMIZEBOX | WS_CLIPCHILDREN,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                      instance(), this);
      if (hwnd_ != nullptr) dpi_ = window_dpi(hwnd_);
      if (st.main_form == nullptr && hwnd_ != nullptr) st.main_form = this;
      return;
    }
    default:
      break;
  }

  const wchar_t* window_class = L"STATIC";
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  switch (kind_) {
    case tk::Kind::Button:
      window_class = L"BUTTON";
      style |= WS_TABSTOP | BS_MULTILINE |
               static_cast<DWORD>(options.default_button ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
      break;
    case tk::Kind::Edit:
      window_class = L"EDIT";
      style |= WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
      if (options.password) style |= ES_PASSWORD;
      if (options.read_only) style |= ES_READONLY;
      break;
    case tk::Kind::Label:
      style |= SS_NOTIFY | SS_NOPREFIX | SS_LEFTNOWORDWRAP;
      break;
    case tk::Kind::ProgressBar:
      window_class = PROGRESS_CLASSW;
      if (options.vertical) style |= PBS_VERTICAL;
      if (options.smooth) style |= PBS_SMOOTH;
      break;
    case tk::Kind::Image:
      style |= SS_NOTIFY;
      break;
    case tk::Kind::ComboBox:
      window_class = WC_COMBOBOXW;
      style |= WS_VSCROLL | WS_TABSTOP | CBS_HASSTRINGS | CBS_AUTOHSCROLL;
      style |= static_cast<DWORD>(options.editable ? CBS_DROPDOWN : CBS_DROPDOWNLIST);
      if (options.sorted) style |= CBS_SORT;
      break;
    default:
      break;
  }
  // Every control starts in the flat look: an edit with its thin border, the others without
  // a sunken edge. Asking for the flat look then changes nothing; the 3D look sinks it.
  look_ = 1;
  HWND parent_hwnd = parent_ != nullptr && parent_->alive() ? parent_->hwnd() : HWND_MESSAGE;
  control_id_ = st.next_control_id++;
  HWND h = CreateWindowExW(
      0, window_class, kind_ == tk::Kind::Image ? L"" : text.c_str(), style, 0, 0, 0, 0,
      parent_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id_)), instance(), nullptr);
  if (h == nullptr) return;
  subclass(h);
  // A control made later lies above those made before it: a picture placed on a label's
  // band shows on top of the label.
  SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (kind_ == tk::Kind::ProgressBar) classic_look(h);
  font_handle_ = make_font(font_, dpi());
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_handle_), FALSE);
  if (kind_ == tk::Kind::ComboBox && options.editable) attach_inner_edit();
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
  if (st.main_form == this) st.main_form = nullptr;
  st.windows.erase(std::remove(st.windows.begin(), st.windows.end(), this), st.windows.end());
}

Win32Window* Win32Window::from_hwnd(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  return static_cast<Win32Window*>(GetPropW(hwnd, kObjectProp));
}

void Win32Window::bind(HWND hwnd) {
  hwnd_ = hwnd;
  SetPropW(hwnd, kObjectProp, this);
}

void Win32Window::subclass(HWND hwnd) {
  hwnd_ = hwnd;
  SetPropW(hwnd, kObjectProp, this);
  original_proc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control_proc)));
  SetPropW(hwnd, kProcProp, reinterpret_cast<HANDLE>(original_proc_));
}

// The edit field of an editable combo box: its keys are the combo box's keys.
void Win32Window::attach_inner_edit() {
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (!GetComboBoxInfo(hwnd_, &info) || info.hwndItem == nullptr || info.hwndItem == hwnd_) return;
  inner_edit_ = info.hwndItem;
  SetPropW(inner_edit_, kObjectProp, this);
  inner_original_proc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(inner_edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(control_proc)));
  SetPropW(inner_edit_, kProcProp, reinterpret_cast<HANDLE>(inner_original_proc_));
}

void Win32Window::detach() {
  if (inner_edit_ != nullptr) {
    if (IsWindow(inner_edit_)) {
      SetWindowLongPtrW(inner_edit_, GWLP_WNDPROC,
                        reinterpret_cast<LONG_PTR>(inner_original_proc_));
      RemovePropW(inner_edit_, kObjectProp);
      RemovePropW(inner_edit_, kProcProp);
    }
    inner_edit_ = nullptr;
  }
  if (hwnd_ == nullptr) return;
  if (original_proc_ != nullptr)
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_proc_));
  RemovePropW(hwnd_, kObjectProp);
  RemovePropW(hwnd_, kProcProp);
  hwnd_ = nullptr;
  State& st = state();
  if (st.main_form == this) st.main_form = nullptr;
}

LRESULT Win32Window::call_original(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (hwnd == inner_edit_ && inner_original_proc_ != nullptr)
    return CallWindowProcW(inner_original_proc_, hwnd, msg, wp, lp);
  if (original_proc_ != nullptr) return CallWindowProcW(original_proc_, hwnd, msg, wp, lp);
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

tk::Handler Win32Window::set_handler(tk::Handler handler) {
  tk::Handler previous = std::move(handler_);
  handler_ = std::move(handler);
  return previous;
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
      if (st.main_form == this) {
        // The main form's close is the end of the application.
        if (st.application) {
          tk::Message close{tk::Msg::Close};
          st.application->send(close);
        }
        tk::quit();
      }
      break;
    case tk::Msg::EndSession:
      if (kind_ == tk::Kind::Form && m.wparam != 0) {
        st.running = 0;
        st.terminated = true;
        free_application_window();
        ExitProcess(0);
      }
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

// ---- text and placement ----

void Win32Window::set_text(std::string_view text) {
  std::string copy(text);
  if (marshal([copy](Win32Window& w) { w.set_text(copy); })) return;
  if (!alive()) return;
  SetWindowTextW(hwnd_, to_wide(copy).c_str());
}

std::string Win32Window::text() const {
  return alive() ? window_text(hwnd_) : std::string();
}

int Win32Window::caret() const {
  if (!alive() || kind_ != tk::Kind::Edit) return 0;
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end);  // one Windows-1251 byte per character
}

void Win32Window::set_caret(int position) {
  if (marshal([position](Win32Window& w) { w.set_caret(position); })) return;
  if (!alive() || kind_ != tk::Kind::Edit) return;
  const int p = std::max(0, position);
  SendMessageW(hwnd_, EM_SETSEL, static_cast<WPARAM>(p), static_cast<LPARAM>(p));
}

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

// Aligned controls keep to an edge of the parent's client area: top and bottom take its full
// width, left and right its full height, client both.
void Win32Window::apply_align() {
  if (align_ == 0 || parent_ == nullptr || !alive()) return;
  const tk::Extent p = parent_->client_size();
  tk::Rect r = rect();
  switch (align_) {
    case 1:
      r = {0, 0, r.width, p.height};
      break;
    case 2:
      r = {0, r.top, p.width, r.height};
      break;
    case 3:
      r = {p.width - r.width, 0, r.width, p.height};
      break;
    case 4:
      r = {0, p.height - r.height, p.width, r.height};
      break;
    case 5:
      r = {0, 0, p.width, p.height};
      break;
    default:
      return;
  }
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

// ---- state of the window ----

void Win32Window::set_visible(bool visible) {
  if (marshal([visible](Win32Window& w) { w.set_visible(visible); })) return;
  if (!alive()) return;
  const bool was_visible = this->visible();
  if (!visible) {
    ShowWindow(hwnd_, SW_HIDE);
    return;
  }
  if (was_visible) return;
  ShowWindow(hwnd_, kind_ == tk::Kind::Form ? SW_SHOW : SW_SHOWNA);
  tk::Message m{tk::Msg::Show};
  m.wparam = 1;
  send(m);
}

bool Win32Window::visible() const {
  return alive() && (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32Window::set_enabled(bool enabled) {
  if (marshal([enabled](Win32Window& w) { w.set_enabled(enabled); })) return;
  if (alive()) EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

bool Win32Window::enabled() const {
  return alive() && IsWindowEnabled(hwnd_) != FALSE;
}

void Win32Window::set_color(std::uint32_t color) {
  if (marshal([color](Win32Window& w) { w.set_color(color); })) return;
  color_ = color;
  has_color_ = true;
  if (brush_ != nullptr) DeleteObject(brush_);
  brush_ = CreateSolidBrush(tk::resolve_color(color));
  if (!alive()) return;
  if (kind_ == tk::Kind::ProgressBar)
    SendMessageW(hwnd_, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(tk::resolve_color(color)));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Window::set_font(const tk::Font& font) {
  if (marshal([font](Win32Window& w) { w.set_font(font); })) return;
  font_ = font;
  if (kind_ == tk::Kind::Form || kind_ == tk::Kind::Application || !alive()) return;
  HFONT previous = font_handle_;
  font_handle_ = make_font(font_, dpi());
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_handle_), TRUE);
  if (previous != nullptr) DeleteObject(previous);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Window::use_parent_font() {
  if (marshal([](Win32Window& w) { w.use_parent_font(); })) return;
  if (parent_ != nullptr) set_font(parent_->font_);
}

tk::Extent Win32Window::measure_text(std::string_view text) const {
  if (!alive()) return {};
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, font_handle_ != nullptr ? static_cast<HGDIOBJ>(font_handle_)
                                                         : GetStockObject(DEFAULT_GUI_FONT));
  tk::Extent e;
  if (text.empty()) {
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    e = {0, tm.tmHeight};
  } else {
    const std::wstring w = to_wide(text);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_CALCRECT | DT_NOPREFIX | DT_LEFT);
    e = {r.right - r.left, r.bottom - r.top};
  }
  // In design pixels, rounded up: a control sized by it shows the whole text.
  e = {tk::to_design_covering(e.width, dpi()), tk::to_design_covering(e.height, dpi())};
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  return e;
}

void Win32Window::frame_changed() {
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void Win32Window::set_look(int look) {
  if (marshal([look](Win32Window& w) { w.set_look(look); })) return;
  if (look == look_ || (look != 0 && look != 1) || !alive()) return;
  auto s = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE));
  auto x = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE));
  if (look == 0) {
    s &= ~static_cast<DWORD>(WS_BORDER);
    x |= WS_EX_CLIENTEDGE;
  } else {
    s |= WS_BORDER;
    x &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
  }
  SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(s));
  SetWindowLongW(hwnd_, GWL_EXSTYLE, static_cast<LONG>(x));
  frame_changed();
  look_ = look;
}

void Win32Window::set_tab_order(int order) {
  if (marshal([order](Win32Window& w) { w.set_tab_order(order); })) return;
  tab_order_ = order;
  // On a top-level window the tab-stop bit is the maximize box: forms keep their style.
  if (!alive() || kind_ == tk::Kind::Form || kind_ == tk::Kind::Application) return;
  auto s = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE));
  if (order > 0) {
    s |= WS_TABSTOP;
  } else {
    s &= ~static_cast<DWORD>(WS_TABSTOP);
  }
  SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(s));
}

std::uint32_t Win32Window::style() const {
  return alive() ? static_cast<std::uint32_t>(GetWindowLongW(hwnd_, GWL_STYLE)) : 0;
}

void Win32Window::set_style(std::uint32_t style) {
  if (marshal([style](Win32Window& w) { w.set_style(style); })) return;
  if (!alive()) return;
  SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(style));
  frame_changed();
  // A form keeps its design size with the new frame (the same window size at 96 per inch).
  if (kind_ == tk::Kind::Form && sized_) apply_size();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

std::uint32_t Win32Window::ex_style() const {
  return alive() ? static_cast<std::uint32_t>(GetWindowLongW(hwnd_, GWL_EXSTYLE)) : 0;
}

void Win32Window::set_ex_style(std::uint32_t ex_style) {
  if (marshal([ex_style](Win32Window& w) { w.set_ex_style(ex_style); })) return;
  if (!alive()) return;
  SetWindowLongW(hwnd_, GWL_EXSTYLE, static_cast<LONG>(ex_style));
  frame_changed();
  if (kind_ == tk::Kind::Form && sized_) apply_size();
}

void Win32Window::set_alignment(int alignment) {
  if (marshal([alignment](Win32Window& w) { w.set_alignment(alignment); })) return;
  if (!alive()) return;
  auto s = static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE));
  if (kind_ == tk::Kind::Edit) {
    s &= ~static_cast<DWORD>(ES_LEFT | ES_CENTER | ES_RIGHT);
    s |= static_cast<DWORD>(alignment == 1 ? ES_RIGHT : alignment == 2 ? ES_CENTER : ES_LEFT);
  } else if (kind_ == tk::Kind::Label) {
    // The no-word-wrap style of creation goes: long lines wrap.
    s &= ~static_cast<DWORD>(SS_TYPEMASK);
    s |= static_cast<DWORD>(alignment == 1 ? SS_RIGHT : alignment == 2 ? SS_CENTER : SS_LEFT);
  } else {
    return;
  }
  SetWindowLongW(hwnd_, GWL_STYLE, static_cast<LONG>(s));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32Window::set_icon(std::string_view resource_name) {
  std::string name(resource_name);
  if (marshal([name](Win32Window& w) { w.set_icon(name); })) return;
  if (!alive()) return;
  const std::wstring wname = to_wide(name);
  auto load = [&](int size) {
    return static_cast<HICON>(LoadImageW(instance(), wname.c_str(), IMAGE_ICON, size, size, 0));
  };
  HICON big = load(GetSystemMetrics(SM_CXICON));
  HICON small = load(GetSystemMetrics(SM_CXSMICON));
  if (big == nullptr && small == nullptr) return;
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  if (icon_big_ != nullptr) DestroyIcon(icon_big_);
  if (icon_small_ != nullptr) DestroyIcon(icon_small_);
  icon_big_ = big;
  icon_small_ = small;
}

void Win32Window::set_mouse_capture(bool capture) {
  if (marshal([capture](Win32Window& w) { w.set_mouse_capture(capture); })) return;
  if (!alive()) return;
  if (capture) {
    SetCapture(hwnd_);
  } else {
    ReleaseCapture();
  }
}

void Win32Window::begin_drag_move() {
  if (marshal([](Win32Window& w) { w.begin_drag_move(); })) return;
  if (!alive()) return;
  ReleaseCapture();
  SendMessageW(hwnd_, WM_SYSCOMMAND, 0xF012, 0);  // move, by the caption
}

void Win32Window::enable_tab_navigation() {
  tab_navigation_ = true;
}

void Win32Window::move_focus(bool backwards) {
  std::vector<Win32Window*> stops;
  for (Win32Window* w : state().windows)
    if (w->parent_ == this && w->alive() && w->tab_order_ > 0 && IsWindowVisible(w->hwnd_) &&
        IsWindowEnabled(w->hwnd_))
      stops.push_back(w);
  if (stops.empty()) return;
  std::stable_sort(stops.begin(), stops.end(), [](const Win32Window* a, const Win32Window* b) {
    return a->tab_order_ < b->tab_order_;
  });
  Win32Window* focused = from_hwnd(GetFocus());
  auto at = std::find(stops.begin(), stops.end(), focused);
  std::size_t next = 0;
  if (at == stops.end()) {
    next = backwards ? stops.size() - 1 : 0;
  } else {
    const std::size_t i = static_cast<std::size_t>(at - stops.begin());
    next = backwards ? (i + stops.size() - 1) % stops.size() : (i + 1) % stops.size();
  }
  Win32Window* target = stops[next];
  SetFocus(target->inner_edit_ != nullptr ? target->inner_edit_ : target->hwnd_);
  if (target->kind_ == tk::Kind::Edit) SendMessageW(target->hwnd_, EM_SETSEL, 0, -1);
}

void Win32Window::set_redraw(bool on) {
  if (marshal([on](Win32Window& w) { w.set_redraw(on); })) return;
  if (!alive()) return;
  SendMessageW(hwnd_, WM_SETREDRAW, on ? TRUE : FALSE, 0);
}

void Win32Window::invalidate() {
  if (marshal([](Win32Window& w) { w.invalidate(); })) return;
  if (alive()) InvalidateRect(hwnd_, nullptr, TRUE);
}

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
  if (alive() && kind_ == tk::Kind::ProgressBar)
    SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32Window::set_bar_color(std::uint32_t color) {
  if (marshal([color](Win32Window& w) { w.set_bar_color(color); })) return;
  if (alive() && kind_ == tk::Kind::ProgressBar)
    SendMessageW(hwnd_, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(tk::resolve_color(color)));
}

namespace {

LRESULT CALLBACK class_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
    if (auto* w = static_cast<Win32Window*>(cs->lpCreateParams)) w->bind(hwnd);
  }
  if (Win32Window* w = Win32Window::from_hwnd(hwnd)) return w->on_native(hwnd, msg, wp, lp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK control_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (Win32Window* w = Win32Window::from_hwnd(hwnd)) return w->on_native(hwnd, msg, wp, lp);
  if (auto original = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kProcProp)))
    return CallWindowProcW(original, hwnd, msg, wp, lp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// Tab and Shift+Tab in a form that navigates by tab order.
bool tab_key(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB) return false;
  Win32Window* w = Win32Window::from_hwnd(msg.hwnd);
  if (w == nullptr) return false;
  Win32Window* form = w->kind() == tk::Kind::Form ? w : static_cast<Win32Window*>(w->parent());
  if (form == nullptr || form->kind() != tk::Kind::Form || !form->tab_navigation()) return false;
  form->move_focus(GetKeyState(VK_SHIFT) < 0);
  return true;
}

}  // namespace

}  // namespace kx::win32

namespace kx::tk {

using win32::state;

std::uint32_t resolve_color(std::uint32_t color) {
  if ((color & kSystemColor) != 0) return GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0x00FFFFFF;
}

std::unique_ptr<Window> create_window(const CreateOptions& options) {
  if (options.kind == Kind::Form && !state().application) create_application_window();
  return std::make_unique<win32::Win32Window>(options);
}

Window* application_window() {
  return state().application.get();
}

Window& create_application_window() {
  auto& st = state();
  if (!st.application) {
    st.window_thread = GetCurrentThreadId();
    CreateOptions options;
    options.kind = Kind::Application;
    st.application = std::make_unique<win32::Win32Window>(options);
    st.application_hwnd.store(st.application->hwnd());
    set_element_thread(&st.tasks);
  }
  return *st.application;
}

void run_message_loop() {
  auto& st = state();
  st.running = 1;
  if (!st.application) create_application_window();
  while (!st.terminated) {
    // Everything queued, then the idle hook, then wait for the next message. (Processing
    // before the first wait keeps messages queued before the loop from waiting for another.)
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        st.terminated = true;
        break;
      }
      if (st.filter && st.filter(&msg)) continue;
      if (win32::tab_key(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (st.idle) st.idle();
    if (!st.terminated) WaitMessage();
  }
  st.running = 0;
  win32::free_application_window();
}

void quit() {
  auto& st = state();
  if (win32::on_window_thread()) {
    PostQuitMessage(0);
  } else {
    PostThreadMessageW(st.window_thread, WM_QUIT, 0, 0);
  }
}

bool terminated() {
  return state().terminated;
}
int running_count() {
  return state().running;
}

void set_message_filter(std::function<bool(void*)> filter) {
  state().filter = std::move(filter);
}
void set_idle_hook(std::function<void()> hook) {
  state().idle = std::move(hook);
}

void message_box(std::string_view caption, std::string_view text) {
  MessageBoxW(nullptr, win32::to_wide(text).c_str(), win32::to_wide(caption).c_str(), MB_OK);
}

// A device-independent bitmap from the resource's bytes: a .bmp file (file header, info
// header, colour table, pixels) or the bare info header and pixels.
std::unique_ptr<Bitmap> load_bitmap(std::string_view resource_name) {
  const std::span<const std::uint8_t> data = resource_bytes(resource_name);
  const BmpLayout bmp = read_bmp(data);
  if (!bmp.ok()) return nullptr;
  std::vector<std::uint8_t> info(
      data.begin() + static_cast<std::ptrdiff_t>(bmp.info_at),
      data.begin() + static_cast<std::ptrdiff_t>(bmp.info_at + bmp.info_size));
  return std::make_unique<win32::Win32Bitmap>(std::move(info), data.data() + bmp.bits_at, bmp.width,
                                              bmp.rows);
}

}  // namespace kx::tk
