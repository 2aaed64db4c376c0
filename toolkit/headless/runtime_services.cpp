// The runtime's screen resolution and debug message box, headless: a fixed 96 pixels per inch
// and a recorded list of messages (the Win32 toolkit shows a real message box).
#include "toolkit/headless/runtime_services.hpp"

#include "runtime/tdata.hpp"

namespace kx {

namespace headless {
std::vector<std::string>& debug_messages() {
  static std::vector<std::string> messages;
  return messages;
}
}  // namespace headless

int screen_pixels_per_inch() {
  return 96;
}

void debug_message(const std::string& text) {
  headless::debug_messages().push_back(text);
}

}  // namespace kx
