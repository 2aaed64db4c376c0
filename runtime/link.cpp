#include "runtime/link.hpp"

namespace kx {

const EventLink& unconnected_link() {
  static const EventLink link;
  return link;
}

std::int32_t call_hook(const Hook& hook, std::intptr_t a, std::intptr_t b) {
  return hook.method != nullptr ? hook.method(hook.object, a, b) : 0;
}

}  // namespace kx
