// The in-memory window of the headless toolkit and the toolkit's global state (private to
// toolkit/headless/). Laid out like the Win32 toolkit: window_headless.cpp (creation, the
// handler, default processing, text, state and look), placement_headless.cpp,
// controls_headless.cpp, loop_headless.cpp (state and loop), tool_tip_headless.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/element_thread.hpp"
#include "toolkit/toolkit.hpp"
#include "toolkit/window_base.hpp"
#include "toolkit/window_registry.hpp"

namespace kx::headless {

struct ToolTipView;

struct Item {
  std::string text;
  std::int32_t data = 0;
};

class HeadlessWindow final : public tk::WindowBase<HeadlessWindow> {
 public:
  explicit HeadlessWindow(const tk::CreateOptions& options);
  static std::unique_ptr<HeadlessWindow> create(const tk::CreateOptions& options) {
    return std::make_unique<HeadlessWindow>(options);
  }
  ~HeadlessWindow() override;

  bool alive() const override { return alive_; }

  void send(tk::Message& message) override;
  void post(const tk::Message& message) override;

  void set_text(std::string_view text) override;
  std::string text() const override { return text_; }
  int caret() const override { return caret_; }
  void set_caret(int position) override;

  void set_position(int left, int top) override;
  void set_size(int width, int height) override;
  tk::Rect rect() const override { return rect_; }
  tk::Extent client_size() const override;
  void set_align(int align) override;

  void set_visible(bool visible) override;
  bool visible() const override { return visible_; }
  void set_enabled(bool enabled) override;
  bool enabled() const override { return enabled_; }

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
  int item_count() const override { return static_cast<int>(items_.size()); }
  std::string item_text(int index) const override;
  std::int32_t item_data(int index) const override;
  void set_item_data(int index, std::int32_t value) override;
  int selection() const override { return selection_; }
  void select(int index) override;
  void reserve_storage(std::size_t bytes) override;

  void set_range(int max) override;
  void set_progress(int position) override;
  void set_bar_color(std::uint32_t color) override;

  // Internals for the toolkit and the test API.
  void kill();  // the system window went away: Destroy to the handler, then dead
  void default_processing(tk::Message& message);
  void apply_align();
  // The screen resolution the window is shown at (a control: its form's).
  int dpi() const;
  // A text's extent on the screen, in the window's font at its resolution.
  tk::Extent screen_text_extent(std::string_view text) const;

  bool alive_ = true;
  std::string text_;
  int caret_ = 0;
  tk::Rect rect_;
  bool visible_ = false;
  bool enabled_ = true;
  std::uint32_t color_ = tk::system_color(15);
  int look_ = 2;  // as created
  std::uint32_t style_ = 0;
  std::uint32_t ex_style_ = 0;
  int alignment_ = 0;
  bool word_wrap_ = false;
  std::string icon_;
  bool capture_ = false;
  bool dragging_ = false;
  bool redraw_ = true;
  int invalidations_ = 0;
  bool password_ = false;
  bool editable_ = false;
  bool sorted_ = false;
  int item_height_ = 0;
  bool vertical_ = false;
  bool smooth_ = false;
  std::vector<Item> items_;
  int selection_ = -1;
  std::size_t reserved_ = 0;
  int range_max_ = 100;
  int dpi_ = 96;  // a form's: the screen's when it was made, or the monitor it moved to
  int progress_ = 0;
  std::uint32_t bar_color_ = 0;
};

class HeadlessBitmap final : public tk::Bitmap {
 public:
  HeadlessBitmap(int w, int h) : width_(w), height_(h) {}
  int width() const override { return width_; }
  int height() const override { return height_; }

 private:
  int width_;
  int height_;
};

// The toolkit's state: windows alive, the application window, the loop flags, the queue.
struct State : tk::WindowRegistry<HeadlessWindow> {
  std::unique_ptr<EventQueue> queue = std::make_unique<EventQueue>();
  std::vector<std::pair<std::string, std::string>> message_boxes;
  std::function<void(int)> exit_routine;
  int screen_dpi = 96;                  // the resolution new forms are shown at
  tk::Rect work_area{0, 0, 1024, 738};  // in screen pixels
  // The long task as the system would see it (set_task_state, set_task_progress).
  tk::TaskState task_state = tk::TaskState::Idle;
  std::vector<tk::TaskState> task_states;  // every change, in order
  int task_position = 0;
  int task_max = 0;
  std::vector<const ToolTipView*> tool_tips;  // every tool-tip in existence, in creation order
};

State& state();
inline HeadlessWindow* find_live(std::uint64_t id) {
  return state().find_live(id);
}
HeadlessWindow& as_headless(tk::Window& w);

}  // namespace kx::headless
