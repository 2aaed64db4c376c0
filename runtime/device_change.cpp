#include "runtime/device_change.hpp"

#include <utility>

namespace kx {

namespace {

std::function<void()>& listener() {
  static std::function<void()> l;
  return l;
}

}  // namespace

void set_device_change_listener(std::function<void()> l) {
  listener() = std::move(l);
}

void report_device_change() {
  // A copy: the listener may replace or clear itself while it runs.
  if (const std::function<void()> l = listener()) l();
}

}  // namespace kx
