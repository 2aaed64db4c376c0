#include "elements/flow/after_step.hpp"

#include "runtime/element_thread.hpp"

namespace kx {

TKxAfterStep::TKxAfterStep() : handover_(this), run_(handover_.begin_run()) {}

TKxAfterStep::~TKxAfterStep() = default;

void TKxAfterStep::doEvent(TData& d, std::uint16_t) {
  if (element_thread() == nullptr) {
    continue_copy(d, onEvent, d);
    return;
  }
  TData value;
  value.kind = static_cast<std::uint8_t>(d.kind & ~kContinue);
  value.int_value = d.int_value;
  value.str_value = d.str_value;
  value.real_value = d.real_value;
  // One run for the element's life: the event is dropped only when the element is gone.
  run_.post([value](TKxAfterStep& self, const HandOver<TKxAfterStep>::Run&) mutable {
    fire(self.onEvent, value);
  });
}

}  // namespace kx
