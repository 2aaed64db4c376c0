#include "app/window_place.hpp"

#include <algorithm>

namespace kx {

namespace {

constexpr int kGap = 4;

int ceil_div(int a, int b) {
  return (a + b - 1) / b;
}

}  // namespace

tk::Rect window_place(int k, int n, const tk::Rect& area, tk::Extent window) {
  const int w = window.width, h = window.height;
  const int i = std::clamp(k, 1, std::max(n, 1)) - 1;
  n = std::max(n, 1);
  const int beside = std::max(1, (area.width + kGap) / (w + kGap));
  const int below = std::max(1, (area.height + kGap) / (h + kGap));
  if (n <= beside * below) {
    const int columns = std::min(n, beside);
    return {area.left + (i % columns) * (w + kGap), area.top + (i / columns) * (h + kGap), w, h};
  }
  // Cascaded: as many in a column as leave each caption visible, then the next column.
  const int room_down = std::max(0, area.height - h), room_right = std::max(0, area.width - w);
  const int per_column = room_down / kCaptionStep + 1;
  const int columns = std::max(ceil_div(n, per_column), std::min(beside, n));
  const int rows = ceil_div(n, columns);
  const int down = rows > 1 ? std::min(h + kGap, room_down / (rows - 1)) : 0;
  const int right =
      columns > 1 ? std::max(kCaptionVisibleWidth, std::min(w + kGap, room_right / (columns - 1)))
                  : 0;
  return {area.left + (i / rows) * right, area.top + (i % rows) * down, w, h};
}

}  // namespace kx
