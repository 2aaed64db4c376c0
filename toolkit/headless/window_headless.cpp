// The headless toolkit: windows held in memory with the same close-to-quit and thread
// hand-over rules as the Win32 toolkit; their handler and messages, text, state and look.
#include <algorithm>
#include <cstdlib>

#include "toolkit/align.hpp"
#include "toolkit/dpi.hpp"
#include "toolkit/headless/headless_window.hpp"
#include "toolkit/loop_state.hpp"
#include "toolkit/style_bits.hpp"

namespace kx::headless {

namespace {

std::uint32_t default_style(tk::Kind kind) {
  switch (kind) {
    case tk::Kind::Form:
      return tk::kStyleCaption | tk::kStyleSysMenu | tk::kStyleThickFrame | tk::kStyleMinimizeBox |
             tk::kStyleMaximizeBox;
    case tk::Kind::Edit:
      return tk::kStyleBorder;
    default:
      return 0;
  }
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

HeadlessWindow::HeadlessWindow(const tk::CreateOptions& options)
    : WindowBase(options),
      text_(options.text),
      style_(default_style(options.kind)),
      password_(options.password),
      editable_(options.editable),
      sorted_(options.sorted),
      item_height_(options.item_height),
      vertical_(options.vertical),
      smooth_(options.smooth) {
  State& st = state();
  st.add(*this);
  dpi_ = st.screen_dpi;
  if (kind_ == tk::Kind::Edit) look_ = 1;  // created with a thin border: the flat look
  if (kind_ == tk::Kind::Form && st.main_form == nullptr) st.main_form = this;
}

HeadlessWindow::~HeadlessWindow() {
  State& st = state();
  // Destroying a window destroys its children's system windows; their objects stay.
  for (HeadlessWindow* w : st.windows) {
    if (w->parent_ == this) {
      w->kill();
      w->parent_ = nullptr;
    }
  }
  st.remove(*this);
}

void HeadlessWindow::kill() {
  if (!alive_) return;
  tk::Message m{tk::Msg::Destroy};
  if (handler_) handler_(m);
  alive_ = false;
  visible_ = false;
  for (HeadlessWindow* w : state().windows)
    if (w->parent_ == this) w->kill();
  if (state().main_form == this) state().main_form = nullptr;
}

void HeadlessWindow::send(tk::Message& message) {
  if (!alive_) return;
  if (handler_) handler_(message);
  if (!message.handled && alive_) default_processing(message);
}

void HeadlessWindow::post(const tk::Message& message) {
  if (!alive_) return;
  std::uint64_t target = id;
  state().queue->post([target, message] {
    HeadlessWindow* w = find_live(target);
    if (w == nullptr) return;
    tk::Message m = message;
    const auto& filter = tk::loop_state().filter;
    if (filter && filter(&m)) return;
    w->send(m);
  });
}

void HeadlessWindow::default_processing(tk::Message& m) {
  State& st = state();
  switch (m.id) {
    case tk::Msg::Close:
      if (kind_ == tk::Kind::Form) {
        visible_ = false;
        st.form_closed(*this);
      }
      break;
    case tk::Msg::EndSession:
      if (session_ends(m)) {
        const int code = tk::loop_state().session_end_code();
        if (st.exit_routine) {
          st.exit_routine(code);
        } else {
          std::exit(code);
        }
      }
      break;
    case tk::Msg::KeyDown:
      if (kind_ == tk::Kind::Edit) {
        const int n = static_cast<int>(text_.size());
        if (m.wparam == 37) caret_ = std::max(0, caret_ - 1);  // left
        if (m.wparam == 39) caret_ = std::min(n, caret_ + 1);  // right
        if (m.wparam == 36) caret_ = 0;                        // home
        if (m.wparam == 35) caret_ = n;                        // end
        if (m.wparam == 46 && !read_only_ && caret_ < n) {     // delete
          text_.erase(static_cast<std::size_t>(caret_), 1);
          tk::Message change{tk::Msg::Change};
          send(change);
        }
      }
      break;
    case tk::Msg::Char:
      if (kind_ == tk::Kind::Edit && !read_only_ && m.wparam != 0) {
        const auto c = static_cast<unsigned char>(m.wparam & 0xFF);
        if (c == 8) {
          if (caret_ == 0) break;
          text_.erase(static_cast<std::size_t>(caret_ - 1), 1);
          --caret_;
        } else if (c >= 0x20) {
          text_.insert(static_cast<std::size_t>(caret_), 1, static_cast<char>(c));
          ++caret_;
        } else {
          break;  // Enter, Tab and other controls do nothing in a single-line box
        }
        tk::Message change{tk::Msg::Change};
        send(change);
      }
      break;
    default:
      break;
  }
}

void HeadlessWindow::set_text(std::string_view text) {
  if (!alive_) return;
  text_ = std::string(text);
  caret_ = 0;  // setting the text puts the caret at the start, as the platform does
  if (kind_ == tk::Kind::Edit) {
    tk::Message change{tk::Msg::Change};
    send(change);
  }
}

void HeadlessWindow::set_caret(int position) {
  caret_ = std::clamp(position, 0, static_cast<int>(text_.size()));
}

void HeadlessWindow::set_visible(bool visible) {
  if (!alive_) return;
  if (visible && !visible_) {
    visible_ = true;
    tk::Message m{tk::Msg::Show};
    m.wparam = 1;
    send(m);
  } else if (!visible) {
    visible_ = false;
  }
}

void HeadlessWindow::set_enabled(bool enabled) {
  if (alive_) enabled_ = enabled;
}

void HeadlessWindow::set_color(std::uint32_t color) {
  color_ = color;
}
void HeadlessWindow::set_font(const tk::Font& font) {
  font_ = font;
}
void HeadlessWindow::use_parent_font() {
  if (parent_ != nullptr) font_ = parent_->font_;
}

// In design pixels, rounded up so that a control sized by it holds the text on the screen.
tk::Extent HeadlessWindow::measure_text(std::string_view text) const {
  const tk::Extent e = screen_text_extent(text);
  return {tk::to_design_covering(e.width, dpi()), tk::to_design_covering(e.height, dpi())};
}

// Text metrics of the headless toolkit: a cell of |height| screen pixels, characters half a
// cell wide (one more when bold), lines a quarter cell apart.
tk::Extent HeadlessWindow::screen_text_extent(std::string_view text) const {
  const int height = tk::to_screen(font_.height, dpi());
  const int cell = std::max(1, height < 0 ? -height : height);
  const int char_width = (cell + 1) / 2 + ((font_.style_bits & 1) != 0 ? 1 : 0);
  const int line_height = cell + cell / 4;
  std::size_t longest = 0;
  const auto lines = split_lines(text);
  for (auto line : lines) longest = std::max(longest, line.size());
  return {static_cast<int>(longest) * char_width, static_cast<int>(lines.size()) * line_height};
}

void HeadlessWindow::set_look(int look) {
  if (look == look_ || (look != 0 && look != 1)) return;
  if (look == 0) {
    style_ &= ~tk::kStyleBorder;
    ex_style_ |= tk::kExClientEdge;
  } else {
    style_ |= tk::kStyleBorder;
    ex_style_ &= ~tk::kExClientEdge;
  }
  look_ = look;
}

void HeadlessWindow::set_tab_order(int order) {
  tab_order_ = order;
}
void HeadlessWindow::set_frame(tk::Frame frame) {
  const tk::StyleWords words = tk::with_frame({style_, ex_style_}, frame);
  style_ = words.style;
  ex_style_ = words.ex_style;
}
void HeadlessWindow::set_edge(tk::Edge edge) {
  ex_style_ = tk::edge_ex_style(edge);
}
void HeadlessWindow::set_flat() {
  style_ |= tk::kStyleFlatButton;
}
void HeadlessWindow::hide_from_taskbar() {
  ex_style_ = tk::kExNoTaskbarButton;
}

void HeadlessWindow::set_alignment(int alignment) {
  alignment_ = alignment;
  if (kind_ == tk::Kind::Label) word_wrap_ = true;
}

void HeadlessWindow::set_icon(std::string_view resource_name) {
  icon_ = std::string(resource_name);
}
void HeadlessWindow::set_mouse_capture(bool capture) {
  capture_ = capture;
}
void HeadlessWindow::begin_drag_move() {
  dragging_ = true;
}
void HeadlessWindow::set_redraw(bool on) {
  redraw_ = on;
}
void HeadlessWindow::invalidate() {
  ++invalidations_;
}
}  // namespace kx::headless

namespace kx::tk {

std::uint32_t resolve_color(std::uint32_t color) {
  if ((color & kSystemColor) == 0) return color & 0x00FFFFFF;
  // The classic scheme's values for the colours this tool uses; others black.
  switch (color & 0xFF) {
    case 5:
      return 0x00FFFFFF;  // window
    case 15:
    case 22:
      return 0x00C8D0D4;  // button face, 3D light
    case 16:
      return 0x00808080;  // button shadow
    case 23:
      return 0x00000000;  // info text
    case 24:
      return 0x00E1FFFF;  // info background
    default:
      return 0;
  }
}

std::unique_ptr<Window> create_window(const CreateOptions& options) {
  return headless::HeadlessWindow::create(options);
}

}  // namespace kx::tk
