#include "elements/flow/commutator.hpp"

namespace kx {

void TKxCommutator::doWork(TData& d, std::uint16_t index) {
  // The inputs are read against an empty record: an unconnected one gives its default and
  // never takes the event's value.
  TData empty;
  if (read_integer(empty, dataEnabled, 1) == 0) return;
  const std::int32_t out = read_integer(empty, dataChannel, -1);
  const std::int32_t inp = read_integer(empty, dataInput, -1);
  if (inp >= 0 && inp != index) return;

  TData local;
  if (out >= 0) {
    if (out >= static_cast<std::int32_t>(onEvent.size())) return;
    local = d;
    fire(onEvent[static_cast<std::size_t>(out)], local);
    return;
  }
  for (std::size_t i = 0; i < onEvent.size(); ++i) {
    local = d;
    fire(onEvent[i], local);
  }
}

}  // namespace kx
