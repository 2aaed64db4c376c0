// The headless toolkit's test API (see test_api.hpp).
#include "toolkit/headless/test_api.hpp"

#include "runtime/device_change.hpp"
#include "toolkit/dpi.hpp"
#include "toolkit/loop_state.hpp"

#include "toolkit/headless/headless_window.hpp"

namespace kx::headless {

namespace {

const HeadlessWindow& hw(const tk::Window& w) {
  return static_cast<const HeadlessWindow&>(w);
}
HeadlessWindow& hw(tk::Window& w) {
  return static_cast<HeadlessWindow&>(w);
}

// Every window from w up to the top is alive, visible and enabled.
bool reachable(const tk::Window& w) {
  return shown(w) && usable(w);
}

bool deliver(tk::Window& w, tk::Msg id, std::int32_t wparam = 0, std::int32_t lparam = 0, int x = 0,
             int y = 0) {
  tk::Message m{id, wparam, lparam, x, y};
  w.send(m);
  return true;
}

class RecordingCanvas final : public tk::Canvas {
 public:
  explicit RecordingCanvas(std::uint32_t background) : background_(background) {}
  void fill(const tk::Rect& r) override {
    PaintOp op{PaintOp::Fill, r};
    op.color = background_;
    ops.push_back(op);
  }
  void stretch(const tk::Bitmap& bitmap, const tk::Rect& target, int stretch_mode) override {
    PaintOp op{PaintOp::Stretch, target};
    op.bitmap_width = bitmap.width();
    op.bitmap_height = bitmap.height();
    op.stretch_mode = stretch_mode;
    ops.push_back(op);
  }
  std::vector<PaintOp> ops;

 private:
  std::uint32_t background_;
};

}  // namespace

void reset() {
  State& st = state();
  tk::free_application_window();
  st.queue = std::make_unique<EventQueue>();
  st.main_form = nullptr;
  tk::loop_state() = tk::LoopState{};
  st.message_boxes.clear();
  st.exit_routine = nullptr;
  st.task_state = tk::TaskState::Idle;
  st.task_states.clear();
  st.task_position = 0;
  st.task_max = 0;
  st.screen_dpi = 96;
  set_device_change_listener(nullptr);
  st.work_area = {0, 0, 1024, 738};
}

void device_change() {
  report_device_change();
}

std::vector<tk::Window*> windows(std::optional<tk::Kind> kind) {
  std::vector<tk::Window*> out;
  for (HeadlessWindow* w : state().windows)
    if (w->alive() && (!kind || w->kind() == *kind)) out.push_back(w);
  return out;
}

tk::Window* find_window(std::string_view text, std::optional<tk::Kind> kind) {
  for (tk::Window* w : windows(kind))
    if (w->text() == text) return w;
  return nullptr;
}

tk::Window* main_form() {
  HeadlessWindow* f = state().main_form;
  return (f != nullptr && f->alive()) ? f : nullptr;
}

bool click(tk::Window& control) {
  if (!reachable(control)) return false;
  deliver(control, tk::Msg::MouseDown, 0);
  if (!control.alive()) return true;
  deliver(control, tk::Msg::MouseUp, 0);
  if (!control.alive()) return true;
  deliver(control, tk::Msg::Click);
  return true;
}

bool choose_item(tk::Window& combo, int index) {
  if (!reachable(combo) || index < 0 || index >= combo.item_count()) return false;
  combo.select(index);
  deliver(combo, tk::Msg::SelChange);
  return true;
}

bool choose_item(tk::Window& combo, std::string_view text) {
  for (int i = 0; i < combo.item_count(); ++i)
    if (combo.item_text(i) == text) return choose_item(combo, i);
  return false;
}

namespace {

// Key down, the character (when there is one and the key was not swallowed), key up.
bool key_stroke(tk::Window& control, int virtual_key, int character) {
  if (!reachable(control)) return false;
  tk::Message down{tk::Msg::KeyDown, virtual_key};
  control.send(down);
  if (character >= 0 && down.wparam != 0 && !down.handled && control.alive())
    deliver(control, tk::Msg::Char, character);
  if (control.alive()) deliver(control, tk::Msg::KeyUp, virtual_key);
  return true;
}

}  // namespace

bool press_key(tk::Window& control, int virtual_key) {
  int character = -1;
  if (virtual_key == 8 || virtual_key == 13 || virtual_key == ' ' ||
      (virtual_key >= '0' && virtual_key <= '9'))
    character = virtual_key;
  if (virtual_key >= 'A' && virtual_key <= 'Z') character = virtual_key - 'A' + 'a';
  return key_stroke(control, virtual_key, character);
}

bool type_text(tk::Window& control, std::string_view text) {
  for (char c : text) {
    const int byte = static_cast<unsigned char>(c);
    int key = 0xDE;  // a punctuation key for every other byte
    if (byte == 8 || byte == 13 || byte == ' ' || (byte >= '0' && byte <= '9')) key = byte;
    if (byte >= 'a' && byte <= 'z') key = byte - 'a' + 'A';
    if (byte >= 'A' && byte <= 'Z') key = byte;
    if (!key_stroke(control, key, byte)) return false;
  }
  return true;
}

bool close_box(tk::Window& form) {
  if (!reachable(form)) return false;
  deliver(form, tk::Msg::Close, 0, 0);
  return true;
}

bool drag(tk::Window& form, int x, int y, int dx, int dy) {
  if (!reachable(form)) return false;
  HeadlessWindow& f = hw(form);
  f.dragging_ = false;
  deliver(form, tk::Msg::MouseDown, 0, 0, x, y);
  if (f.dragging_) {
    // The system's move loop: the window follows the mouse, the button comes up inside it.
    f.dragging_ = false;
    const tk::Rect r = f.rect();
    f.set_position(r.left + dx, r.top + dy);
  } else {
    deliver(form, tk::Msg::MouseMove, 1, 0, x + dx, y + dy);
    deliver(form, tk::Msg::MouseUp, 0, 0, x + dx, y + dy);
  }
  return true;
}

bool mouse_move(tk::Window& w, int x, int y) {
  if (!reachable(w)) return false;
  return deliver(w, tk::Msg::MouseMove, 0, 0, x, y);
}
bool mouse_hover(tk::Window& w) {
  return reachable(w) && deliver(w, tk::Msg::MouseHover);
}
bool mouse_leave(tk::Window& w) {
  return w.alive() && deliver(w, tk::Msg::MouseLeave);
}
bool mouse_wheel(tk::Window& w, int delta) {
  return reachable(w) && deliver(w, tk::Msg::MouseWheel, delta);
}

void end_session(tk::Window& form) {
  deliver(form, tk::Msg::EndSession, 1);
}
void set_exit_routine(std::function<void(int)> routine) {
  state().exit_routine = std::move(routine);
}

bool shown(const tk::Window& w) {
  for (const tk::Window* p = &w; p != nullptr; p = p->parent())
    if (!p->alive() || !p->visible()) return false;
  return true;
}

bool usable(const tk::Window& w) {
  for (const tk::Window* p = &w; p != nullptr; p = p->parent())
    if (!p->alive() || !p->enabled()) return false;
  return true;
}

int progress_position(const tk::Window& bar) {
  return hw(bar).progress_;
}
int progress_max(const tk::Window& bar) {
  return hw(bar).range_max_;
}
std::uint32_t bar_color(const tk::Window& bar) {
  return hw(bar).bar_color_;
}
std::uint32_t color(const tk::Window& w) {
  return hw(w).color_;
}
tk::Font font(const tk::Window& w) {
  return hw(w).font_;
}
std::string icon(const tk::Window& w) {
  return hw(w).icon_;
}
int look(const tk::Window& w) {
  return hw(w).look_;
}
std::uint32_t style(const tk::Window& w) {
  return hw(w).style_;
}
std::uint32_t ex_style(const tk::Window& w) {
  return hw(w).ex_style_;
}
void set_style(tk::Window& w, std::uint32_t style) {
  hw(w).style_ = style;
}
int tab_order(const tk::Window& w) {
  return hw(w).tab_order_;
}
int alignment(const tk::Window& w) {
  return hw(w).alignment_;
}
bool word_wrap(const tk::Window& w) {
  return hw(w).word_wrap_;
}
bool mouse_captured(const tk::Window& w) {
  return hw(w).capture_;
}
bool tab_navigation(const tk::Window& form) {
  return hw(form).tab_navigation_;
}
bool read_only(const tk::Window& edit) {
  return hw(edit).read_only_;
}
bool password(const tk::Window& edit) {
  return hw(edit).password_;
}
bool editable(const tk::Window& combo) {
  return hw(combo).editable_;
}
int item_height(const tk::Window& combo) {
  return hw(combo).item_height_;
}

std::vector<std::string> items(const tk::Window& combo) {
  std::vector<std::string> out;
  for (const Item& i : hw(combo).items_) out.push_back(i.text);
  return out;
}

void set_screen_dpi(int dpi) {
  state().screen_dpi = dpi;
}
void set_work_area(const tk::Rect& screen_pixels) {
  state().work_area = screen_pixels;
}
void move_to_monitor(tk::Window& form, int dpi) {
  hw(form).dpi_ = dpi;
}
int dpi(const tk::Window& w) {
  return hw(w).dpi();
}
tk::Rect screen_rect(const tk::Window& w) {
  return tk::to_screen(w.rect(), hw(w).dpi());
}
tk::Extent screen_text_extent(const tk::Window& w) {
  return hw(w).screen_text_extent(w.text());
}

tk::TaskState task_state() {
  return state().task_state;
}
const std::vector<tk::TaskState>& task_states() {
  return state().task_states;
}
std::pair<int, int> task_progress() {
  return {state().task_position, state().task_max};
}

const std::vector<std::pair<std::string, std::string>>& message_boxes() {
  return state().message_boxes;
}

std::vector<PaintOp> paint(tk::Window& image) {
  RecordingCanvas canvas(tk::resolve_color(hw(image).color_));
  tk::Message m{tk::Msg::Paint};
  m.canvas = &canvas;
  image.send(m);
  return canvas.ops;
}

std::unique_ptr<tk::Bitmap> make_bitmap(int width, int height) {
  return std::make_unique<HeadlessBitmap>(width, height);
}

bool run_until(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  State& st = state();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    st.queue->drain();
    if (pred()) return true;
    if (tk::loop_state().terminated) return pred();
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return pred();
    st.queue->run_one(
        std::min(std::chrono::milliseconds(10),
                 std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                     std::chrono::milliseconds(1)));
  }
}

std::size_t drain() {
  return state().queue->drain();
}

}  // namespace kx::headless
