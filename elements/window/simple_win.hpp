// TKxSimpleWin: the base of a top-level window element (the main form).
#pragma once

#include "elements/window/window_element.hpp"

namespace kx {

class TKxSimpleWin : public WindowElement {
 public:
  explicit TKxSimpleWin(WindowElement* parent = nullptr) : WindowElement(parent) {}

  // Colour, placement, look, enabled state and tab order; the element's handler (mouse, size,
  // show, destruction; no keys); alignment, then Visible. The font stays with the element.
  void Init() override;
};

}  // namespace kx
