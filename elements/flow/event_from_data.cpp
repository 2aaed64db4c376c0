#include "elements/flow/event_from_data.hpp"

#include <utility>

namespace kx {

TKxEventFromData::~TKxEventFromData() {
  free_chain(stored_);
}

void TKxEventFromData::doEvent(TData& d, std::uint16_t) {
  TData value;
  read_value(d, dataData, nullptr, value);
  // Copy before releasing the old chain: the new value may be the one handed out by
  // getData, whose nodes are the ones about to be freed.
  TData fresh;
  copy_chain(fresh, value);
  fresh.kind = static_cast<std::uint8_t>(fresh.kind & ~kContinue);
  fresh.continuation = nullptr;
  free_chain(stored_);
  stored_ = std::move(fresh);
}

void TKxEventFromData::getData(TData& d, std::uint16_t) {
  fire(onGetData, d);
  d = stored_;
}

}  // namespace kx
