// Alignment of a control to an edge of its parent's client area.
#pragma once

#include "toolkit/toolkit.hpp"

namespace kx::tk {

// Where an aligned control goes: 1 left and 3 right take the parent's full height, 2 top and
// 4 bottom its full width, 5 the whole client area; several aligned controls do not stack.
// Other values leave the rectangle as it is.
inline Rect aligned_rect(int align, Rect r, Extent parent) {
  switch (align) {
    case 1:
      return {0, 0, r.width, parent.height};
    case 2:
      return {0, r.top, parent.width, r.height};
    case 3:
      return {parent.width - r.width, 0, r.width, parent.height};
    case 4:
      return {0, parent.height - r.height, parent.width, r.height};
    case 5:
      return {0, 0, parent.width, parent.height};
    default:
      return r;
  }
}

}  // namespace kx::tk
