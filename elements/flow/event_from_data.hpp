// TKxEventFromData: stores a value (with its chain) and hands it out when read.
#pragma once

#include <cstdint>

#include "runtime/pinned.hpp"
#include "runtime/tdata.hpp"

namespace kx {

class TKxEventFromData : Pinned {
 public:
  EventLink dataData;
  EventLink onGetData;

  TKxEventFromData() = default;
  // The stored chain's nodes belong to this element alone (it is never copied).
  ~TKxEventFromData();

  // Stores the connected source's value, else the whole event value with its chain.
  // Nothing fires.
  void doEvent(TData& d, std::uint16_t index);
  // Fires onGetData with the reader's record, then overwrites it with the stored value;
  // the chain nodes the reader sees stay owned here until the next doEvent.
  void getData(TData& d, std::uint16_t index);

  const TData& stored() const { return stored_; }

 private:
  TData stored_;
};

}  // namespace kx
