#include "elements/flow/after_step.hpp"

#include "runtime/element_thread.hpp"

namespace kx {

// Touched on the element thread only: a hand-over that arrives after the element is gone
// finds `element` null.
struct TKxAfterStep::Shared {
  TKxAfterStep* element = nullptr;
};

TKxAfterStep::TKxAfterStep() : shared_(std::make_shared<Shared>()) {
  shared_->element = this;
}

TKxAfterStep::~TKxAfterStep() {
  shared_->element = nullptr;
}

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
  post_to_element_thread([shared = shared_, value]() mutable {
    if (TKxAfterStep* self = shared->element) fire(self->onEvent, value);
  });
}

}  // namespace kx
