#include "elements/flow/if_else.hpp"

#include "elements/flow/compare.hpp"

namespace kx {

void TKxIf_else::doCompare(TData& d, std::uint16_t) {
  TData saved = d;
  TData a;
  TData b;
  read_single_value(d, dataOp1, &Op1, a);
  read_single_value(d, dataOp2, &Op2, b);
  continue_copy(d, compare_values(a, b, Mode) ? onTrue : onFalse, saved);
}

}  // namespace kx
