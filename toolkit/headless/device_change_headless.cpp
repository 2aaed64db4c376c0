// Device changes without a system: the tests report them (headless::device_change).
#include "toolkit/headless/headless_window.hpp"
#include "toolkit/toolkit.hpp"

namespace kx::tk {

void set_device_change_hook(std::function<void()> hook) {
  headless::state().device_change = std::move(hook);
}

}  // namespace kx::tk
