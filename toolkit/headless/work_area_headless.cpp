// The headless screen's work area (set by the tests), in design pixels at a form's resolution.
#include "toolkit/dpi.hpp"
#include "toolkit/headless/headless_window.hpp"

namespace kx::tk {

Rect work_area(const Window& form) {
  const Rect& r = headless::state().work_area;
  const int d = static_cast<const headless::HeadlessWindow&>(form).dpi();
  return {to_design(r.left, d), to_design(r.top, d), to_design(r.width, d), to_design(r.height, d)};
}

}  // namespace kx::tk
