#include "elements/text/str_cat.hpp"

namespace kx {

void TKxStrCat::doStrCat(TData& d, std::uint16_t) {
  std::string a = read_string(d, dataStr1, Str1);
  const std::string b = read_string(d, dataStr2, Str2);
  a += b;
  result = a;
  continue_string(d, onResult, std::move(a));
}

}  // namespace kx
