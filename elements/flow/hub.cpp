#include "elements/flow/hub.hpp"

namespace kx {

void TKxHub::doEvent(TData& d, std::uint16_t) {
  for (std::size_t i = 0; i < onEvent.size(); ++i) fire_copy(onEvent[i], d);
}

}  // namespace kx
