#include "elements/window/hint_manager.hpp"

#include <algorithm>

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
}

void TKxHintManager::set_title(Registration* registration, std::int32_t icon,
                               std::string_view text) {
  registration->title_icon = icon;
  registration->title = std::string(text);
}

void TKxHintManager::mouse_entered(Registration* registration) {
  if (Tracking == 1) registration->tracking_active = true;
}

void TKxHintManager::mouse_left(Registration* registration) {
  if (Tracking == 1) registration->tracking_active = false;
}

void TKxHintManager::mouse_moved(Registration* registration, std::int32_t x, std::int32_t y) {
  if (Tracking != 1) return;
  registration->x = x;
  registration->y = y;
}

}  // namespace kx
