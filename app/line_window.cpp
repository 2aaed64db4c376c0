#include "app/line_window.hpp"

#include "app/entry.hpp"
#include "app/window_place.hpp"
#include "elements/window/simple_form.hpp"
#include "schemes/main_scheme.hpp"

namespace kx {

void place_line_window(TClassSimpleForm_2597650& scheme, const std::string& port, int k, int n) {
  scheme.Form->set_caption(std::string(kInfoCaption) + " \x97 " + port);
  tk::Window& form = *scheme.Form->control();
  const tk::Rect r = form.rect();
  const tk::Rect at = window_place(k, n, tk::work_area(form), {r.width, r.height});
  form.set_position(at.left, at.top);
}

}  // namespace kx
