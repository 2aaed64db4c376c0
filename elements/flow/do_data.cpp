#include "elements/flow/do_data.hpp"

namespace kx {

void TKxDoData::doData(TData& d, std::uint16_t) {
  set_null(d);
  TData value;
  read_single_value(d, dataData, &Data, value);
  continue_copy(d, onEventData, value);
}

}  // namespace kx
