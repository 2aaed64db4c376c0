#include "elements/text/text_holder.hpp"

namespace kx {

void TKxTextHolder::doText(TData& d, std::uint16_t) {
  Text = read_string(d, dataText, "");
}

void TKxTextHolder::getText(TData& d, std::uint16_t) {
  set_string(d, Text);
}

}  // namespace kx
