// What the runtime asks of the platform (a link-time seam the toolkit's services library
// fills): the screen's resolution and the debug message box.
#pragma once

#include <string>

namespace kx {

int screen_pixels_per_inch();
void debug_message(const std::string& text);

// A font's character height for a size in points on this screen (negative: a character height).
int points_to_height(int points);

}  // namespace kx
