// The headless toolkit: windows held in memory, a message loop that drains a queue on the
// window thread, and the same close-to-quit and thread hand-over rules as the Win32 toolkit.
#include <algorithm>
#include <cstdlib>

#include "runtime/tdata.hpp"
#include "toolkit/dpi.hpp"
#include "toolkit/headless/headless_window.hpp"

namespace kx::headless {

State& state() {
  static State s;
  return s;
}

HeadlessWindow* find_live(std::uint64_t id) {
  for (HeadlessWindow* w : state().windows)
    if (w->id == id) return w->alive() ? w : nullptr;
  return nullptr;
}

HeadlessWindow& as_headless(tk::Window& w) {
  return static_cast<HeadlessWindow&>(w);
}

void free_application_window() {
  State& st = state();
  if (!st.application) return;
  // The owned forms go with their owner, and their controls with them.
  std::vector<HeadlessWindow*> forms;
  for (HeadlessWindow* w : st.windows)
    if (w->kind() == tk::Kind::Form && w->alive()) forms.push_back(w);
  for (HeadlessWindow* f : forms) f->kill();
  st.application->kill();
  st.application.reset();
  st.main_form = nullptr;
  if (element_thread() == st.queue.get()) set_element_thread(nullptr);
}

namespace {

constexpr int kFrame = 3;     // border width of a framed form, each side
constexpr int kCaption = 22;  // caption height of a form with a caption

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
    : kind_(options.kind),
      parent_(static_cast<HeadlessWindow*>(options.parent)),
      text_(options.text),
      style_(default_style(options.kind)),
      password_(options.password),
      read_only_(options.read_only),
      default_button_(options.default_button),
      editable_(options.editable),
      sorted_(options.sorted),
      item_height_(options.item_height),
      vertical_(options.vertical),
      smooth_(options.smooth) {
  State& st = state();
  id = st.next_id++;
  st.windows.push_back(this);
  font_.face = "MS Sans Serif";
  font_.height = points_to_height(8);
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
  if (st.main_form == this) st.main_form = nullptr;
  st.windows.erase(std::remove(st.windows.begin(), st.windows.end(), this), st.windows.end());
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

tk::Handler HeadlessWindow::set_handler(tk::Handler handler) {
  tk::Handler previous = std::move(handler_);
  handler_ = std::move(handler);
  return previous;
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
    State& st = state();
    if (st.filter && st.filter(&m)) return;
    w->send(m);
  });
}

void HeadlessWindow::default_processing(tk::Message& m) {
  State& st = state();
  switch (m.id) {
    case tk::Msg::Close:
      if (kind_ == tk::Kind::Form) {
        visible_ = false;
        if (st.main_form == this) {
          if (st.application) {
            tk::Message close{tk::Msg::Close};
            st.application->send(close);
          }
          tk::quit();
        }
      }
      break;
    case tk::Msg::EndSession:
      if (kind_ == tk::Kind::Form && m.wparam != 0) {
        st.running = 0;
        st.terminated = true;
        free_application_window();
        if (st.exit_routine) {
          st.exit_routine(0);
        } else {
          std::exit(0);
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

void HeadlessWindow::set_position(int left, int top) {
  if (!alive_) return;
  if (rect_.left == left && rect_.top == top) return;
  rect_.left = left;
  rect_.top = top;
  apply_align();
  tk::Message m{tk::Msg::Move};
  m.x = rect_.left;
  m.y = rect_.top;
  send(m);
}

void HeadlessWindow::set_size(int width, int height) {
  if (!alive_) return;
  tk::Rect before = rect_;
  rect_.width = width;
  rect_.height = height;
  apply_align();
  if (rect_ == before) return;
  tk::Message m{tk::Msg::Size};
  m.x = rect_.width;
  m.y = rect_.height;
  send(m);
  for (HeadlessWindow* w : state().windows)
    if (w->parent_ == this && w->align_ != 0) w->apply_align();
}

tk::Extent HeadlessWindow::client_size() const {
  if (kind_ != tk::Kind::Form) return {rect_.width, rect_.height};
  const bool framed =
      (style_ & (tk::kStyleBorder | tk::kStyleDlgFrame | tk::kStyleThickFrame)) != 0;
  const bool caption = (style_ & tk::kStyleCaption) == tk::kStyleCaption;
  const int frame = framed ? kFrame : 0;
  return {rect_.width - 2 * frame, rect_.height - 2 * frame - (caption ? kCaption : 0)};
}

void HeadlessWindow::set_align(int align) {
  align_ = align;
  apply_align();
}

// Aligned controls keep to an edge of the parent's client area: top and bottom take its full
// width, left and right its full height, client both (no stacking of several aligned ones).
void HeadlessWindow::apply_align() {
  if (align_ == 0 || parent_ == nullptr) return;
  const tk::Extent p = parent_->client_size();
  switch (align_) {
    case 1:
      rect_.left = 0;
      rect_.top = 0;
      rect_.height = p.height;
      break;
    case 2:
      rect_.left = 0;
      rect_.width = p.width;
      break;
    case 3:
      rect_.left = p.width - rect_.width;
      rect_.top = 0;
      rect_.height = p.height;
      break;
    case 4:
      rect_.left = 0;
      rect_.width = p.width;
      rect_.top = p.height - rect_.height;
      break;
    case 5:
      rect_ = {0, 0, p.width, p.height};
      break;
    default:
      break;
  }
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

int HeadlessWindow::dpi() const {
  if (kind_ == tk::Kind::Form || parent_ == nullptr) return dpi_;
  return parent_->dpi();
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
void HeadlessWindow::set_style(std::uint32_t style) {
  style_ = style;
}
void HeadlessWindow::set_ex_style(std::uint32_t ex_style) {
  ex_style_ = ex_style;
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
void HeadlessWindow::enable_tab_navigation() {
  tab_navigation_ = true;
}
void HeadlessWindow::set_redraw(bool on) {
  redraw_ = on;
}
void HeadlessWindow::invalidate() {
  ++invalidations_;
}

int HeadlessWindow::add_item(std::string_view text) {
  if (!alive_) return -1;
  std::size_t at = items_.size();
  if (sorted_) {
    at = 0;
    while (at < items_.size() && compare_text_nocase(items_[at].text, text) <= 0) ++at;
  }
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), Item{std::string(text), 0});
  if (selection_ >= static_cast<int>(at)) ++selection_;
  return static_cast<int>(at);
}

int HeadlessWindow::insert_item(int index, std::string_view text) {
  if (!alive_) return -1;
  if (index < 0) index = static_cast<int>(items_.size());
  if (index > static_cast<int>(items_.size())) return -1;
  items_.insert(items_.begin() + index, Item{std::string(text), 0});
  if (selection_ >= index) ++selection_;
  return index;
}

void HeadlessWindow::delete_item(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  items_.erase(items_.begin() + index);
  if (selection_ == index) {
    selection_ = -1;
  } else if (selection_ > index) {
    --selection_;
  }
}

void HeadlessWindow::clear_items() {
  items_.clear();
  selection_ = -1;
  if (kind_ == tk::Kind::ComboBox) text_.clear();
}

std::string HeadlessWindow::item_text(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size())) return {};
  return items_[static_cast<std::size_t>(index)].text;
}

std::int32_t HeadlessWindow::item_data(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size())) return -1;
  return items_[static_cast<std::size_t>(index)].data;
}

void HeadlessWindow::set_item_data(int index, std::int32_t value) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  items_[static_cast<std::size_t>(index)].data = value;
}

void HeadlessWindow::select(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) index = -1;
  selection_ = index;
  text_ = item_text(index);
}

void HeadlessWindow::reserve_storage(std::size_t bytes) {
  reserved_ = bytes;
}

void HeadlessWindow::set_range(int max) {
  range_max_ = max;
  progress_ = std::clamp(progress_, 0, std::max(0, range_max_));
}

void HeadlessWindow::set_progress(int position) {
  progress_ = std::clamp(position, 0, std::max(0, range_max_));
}

void HeadlessWindow::set_bar_color(std::uint32_t color) {
  bar_color_ = color;
}

}  // namespace kx::headless

namespace kx::tk {

using headless::state;

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
  return std::make_unique<headless::HeadlessWindow>(options);
}

Window* application_window() {
  return state().application.get();
}

Window& create_application_window() {
  auto& st = state();
  if (!st.application) {
    CreateOptions options;
    options.kind = Kind::Application;
    st.application = std::make_unique<headless::HeadlessWindow>(options);
    set_element_thread(st.queue.get());
  }
  return *st.application;
}

void run_message_loop() {
  auto& st = state();
  st.running = 1;
  if (!st.application) create_application_window();
  while (!st.terminated) {
    st.queue->run_one(std::chrono::milliseconds(20));
    st.queue->drain();
    if (st.idle) st.idle();
  }
  st.running = 0;
  headless::free_application_window();
}

void quit() {
  state().queue->post([] { state().terminated = true; });
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
  state().message_boxes.emplace_back(std::string(caption), std::string(text));
}

}  // namespace kx::tk
