// The scaling rule of both toolkits. Positions, sizes and font heights at the toolkit's
// interface are design pixels, as the window was laid out at 96 pixels per inch; on a screen
// of another resolution every one of them is multiplied by dpi / 96 and rounded to the
// nearest pixel (halves away from zero), so the window keeps its proportions and its texts
// keep their room.
#pragma once

#include "toolkit/toolkit.hpp"

namespace kx::tk {

inline constexpr int kDesignDpi = 96;

// A design length on a screen of `dpi` pixels per inch.
constexpr int to_screen(int design, int dpi) {
  const long long v = static_cast<long long>(design) * dpi;
  return static_cast<int>(v >= 0 ? (v + kDesignDpi / 2) / kDesignDpi
                                 : (v - kDesignDpi / 2) / kDesignDpi);
}

// A screen length back in design pixels, to the nearest one.
constexpr int to_design(int screen, int dpi) {
  if (dpi <= 0) return screen;
  const long long v = static_cast<long long>(screen) * kDesignDpi;
  return static_cast<int>(v >= 0 ? (v + dpi / 2) / dpi : (v - dpi / 2) / dpi);
}

// A measured screen length in design pixels, rounded up: scaled back it covers the measure.
constexpr int to_design_covering(int screen, int dpi) {
  if (dpi <= 0 || screen <= 0) return screen;
  return static_cast<int>((static_cast<long long>(screen) * kDesignDpi + dpi - 1) / dpi);
}

constexpr Rect to_screen(const Rect& r, int dpi) {
  return {to_screen(r.left, dpi), to_screen(r.top, dpi), to_screen(r.width, dpi),
          to_screen(r.height, dpi)};
}

}  // namespace kx::tk
