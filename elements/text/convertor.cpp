#include "elements/text/convertor.hpp"

#include <string>

namespace kx {

void TKxConvertor::doConvert(TData& d, std::uint16_t) {
  const std::int32_t n = read_integer(d, dataValue, 0);
  switch (Mode) {
    case kByteToChar:
      // One byte, NUL included: 0 gives a one-byte text, not an empty one.
      continue_string(d, onResult, std::string(1, static_cast<char>(n & 0xFF)));
      return;
    case kNumberToHex: {
      static constexpr char kDigits[] = "0123456789ABCDEF";
      const std::size_t min_digits = static_cast<std::size_t>(Digits & 0x0F);
      auto value = static_cast<std::uint32_t>(n);
      std::string text;
      do {
        text.insert(text.begin(), kDigits[value & 0x0F]);
        value >>= 4;
      } while (value != 0);
      if (text.size() < min_digits) text.insert(0, min_digits - text.size(), '0');
      continue_string(d, onResult, std::move(text));
      return;
    }
    default:
      // The other conversions are not part of this tool: nothing is passed on.
      return;
  }
}

}  // namespace kx
