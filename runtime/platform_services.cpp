#include "runtime/platform_services.hpp"

namespace kx {

namespace {

int g_pixels_per_inch = 0;

}  // namespace

int points_to_height(int points) {
  if (g_pixels_per_inch == 0) g_pixels_per_inch = screen_pixels_per_inch();
  return (points * g_pixels_per_inch + 36) / -72;
}

}  // namespace kx
