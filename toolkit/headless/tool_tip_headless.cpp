// Tool-tips of the headless toolkit: what each one shows, kept for the tests to read.
#include "toolkit/headless/headless_window.hpp"
#include "toolkit/headless/test_api.hpp"

namespace kx::headless {

namespace {

class HeadlessToolTip final : public tk::ToolTip {
 public:
  HeadlessToolTip(const tk::Window& control, const tk::ToolTipStyle& style) {
    view_.control = &control;
    view_.style = style;
    state().tool_tips.push_back(&view_);
  }
  ~HeadlessToolTip() override { std::erase(state().tool_tips, &view_); }

  void set_text(std::string_view text) override { view_.text = std::string(text); }
  void set_title(int icon, std::string_view title) override {
    view_.title_icon = icon;
    view_.title = std::string(title);
  }
  void track(bool active) override { view_.tracking = active; }
  void track_position(int x, int y) override {
    view_.x = x;
    view_.y = y;
  }

 private:
  ToolTipView view_;
};

}  // namespace

std::vector<ToolTipView> tool_tips() {
  std::vector<ToolTipView> views;
  for (const ToolTipView* v : state().tool_tips) views.push_back(*v);
  return views;
}

}  // namespace kx::headless

namespace kx::tk {

std::unique_ptr<ToolTip> create_tool_tip(Window& control, const ToolTipStyle& style) {
  if (!control.alive()) return nullptr;
  return std::make_unique<headless::HeadlessToolTip>(control, style);
}

}  // namespace kx::tk
