#include "elements/stream/stream2hex.hpp"

namespace kx {

std::string bytes_to_hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
  return out;
}

void TKxStream2Hex::doConvert(TData& d, std::uint16_t) {
  const std::string text = read_string(d, dataText, "");
  continue_string(d, onResult, bytes_to_hex(text));
}

}  // namespace kx
