#include "elements/window/hint_manager.hpp"

#include <algorithm>

#include "elements/window/window_element.hpp"

namespace kx {

TKxHintManager::TKxHintManager() {
  set_font(Font, "Tahoma", 8, 0, tk::system_color(23), 1);
}

TKxHintManager& hint_manager() {
  static TKxHintManager manager;
  return manager;
}

TKxHintManager::Registration* TKxHintManager::create_for(tk::Window* control) {
  auto r = std::make_unique<Registration>();
  r->control = control;
  r->balloon = Rectangular == 0;
  if (control != nullptr) {
    tk::ToolTipStyle style;
    style.balloon = r->balloon;
    style.tracking = Tracking == 1;
    style.font = window_font(Font);
    style.back_color = BackColor;
    style.initial_delay = InitialDelay;
    style.auto_pop_delay = AutoPopDelay;
    style.margin = Margin;
    r->tip = tk::create_tool_tip(*control, style);
  }
  registrations_.push_back(std::move(r));
  return registrations_.back().get();
}

void TKxHintManager::remove(Registration* registration) {
  registrations_.erase(std::remove_if(registrations_.begin(), registrations_.end(),
                                      [registration](const std::unique_ptr<Registration>& r) {
                                        return r.get() == registration;
                                      }),
                       registrations_.end());
}

void TKxHintManager::set_text(Registration* registration, std::string_view text) {
  registration->text = std::string(text);
  if (registration->tip) registration->tip->set_text(registration->text);
}

void TKxHintManager::set_title(Registration* registration, std::int32_t icon,
                               std::string_view text) {
  registration->title_icon = icon;
  registration->title = std::string(text);
  if (registration->tip) registration->tip->set_title(icon, registration->title);
}

void TKxHintManager::mouse_entered(Registration* registration) {
  if (Tracking != 1) return;
  registration->tracking_active = true;
  if (registration->tip) registration->tip->track(true);
}

void TKxHintManager::mouse_left(Registration* registration) {
  if (Tracking != 1) return;
  registration->tracking_active = false;
  if (registration->tip) registration->tip->track(false);
}

void TKxHintManager::mouse_moved(Registration* registration, std::int32_t x, std::int32_t y) {
  if (Tracking != 1) return;
  registration->x = x;
  registration->y = y;
  if (registration->tip) registration->tip->track_position(x, y);
}

}  // namespace kx
