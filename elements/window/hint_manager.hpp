// TKxHintManager: the one global object through which controls get tool-tips.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "elements/window/font_rec.hpp"
#include "runtime/tdata.hpp"
#include "toolkit/toolkit.hpp"

namespace kx {

class TKxHintManager {
 public:
  // The tool-tip of one control: its text, title and the tracking state, and the toolkit's
  // tip that shows them (none when the control was already gone).
  struct Registration {
    tk::Window* control = nullptr;
    std::string text;
    std::string title;
    std::int32_t title_icon = 0;
    bool balloon = false;
    bool tracking_active = false;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::unique_ptr<tk::ToolTip> tip;
  };

  TKxHintManager();

  std::uint8_t Rectangular = 1;  // 0: balloon tips
  std::uint32_t BackColor = tk::system_color(24);
  std::int32_t InitialDelay = 500;
  std::int32_t AutoPopDelay = 5000;
  std::int32_t Margin = 0;
  std::uint8_t Tracking = 0;  // 1: the tip follows the mouse while it is over the control
  TFontRec Font;

  // A tip for the control in the manager's look (Rectangular, BackColor, delays, Margin,
  // Tracking, Font), without text.
  Registration* create_for(tk::Window* control);
  void remove(Registration* registration);
  void set_text(Registration* registration, std::string_view text);
  void set_title(Registration* registration, std::int32_t icon, std::string_view text);
  void mouse_entered(Registration* registration);
  void mouse_left(Registration* registration);
  void mouse_moved(Registration* registration, std::int32_t x, std::int32_t y);

  std::size_t registrations() const { return registrations_.size(); }

 private:
  std::vector<std::unique_ptr<Registration>> registrations_;
};

// The global manager, made with its defaults on first use.
TKxHintManager& hint_manager();

}  // namespace kx
