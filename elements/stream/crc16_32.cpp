#include "elements/stream/crc16_32.hpp"

#include <map>
#include <mutex>
#include <utility>

namespace kx {

namespace {

enum class TableKind : std::uint8_t { kReflected, kMsbFirst, kZero };

TableKind kind_of_mode(std::uint8_t mode) {
  switch (mode) {
    case kCrc16Reflected:
    case kCrc16ReflectedSwapped:
    case kCrc16ReflectedInvertedSwapped:
    case kCrc32ReflectedInverted:
      return TableKind::kReflected;
    case kCrc16MsbFirst:
      return TableKind::kMsbFirst;
    default:
      return TableKind::kZero;
  }
}

CrcTable build_table(TableKind kind, std::uint32_t poly) {
  CrcTable table{};
  if (kind == TableKind::kZero) return table;
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t r = 0;
    if (kind == TableKind::kReflected) {
      // On all 32 bits: a polynomial wider than 16 bits reaches the low half of the entry too.
      r = i;
      for (int bit = 0; bit < 8; ++bit) r = (r & 1u) != 0 ? (r >> 1) ^ poly : r >> 1;
    } else {
      std::uint32_t t = i << 8;
      for (int bit = 0; bit < 8; ++bit) {
        r = ((r ^ t) & 0x8000u) != 0 ? (r << 1) ^ poly : r << 1;
        t <<= 1;
      }
    }
    table[i] = r;
  }
  return table;
}

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::uint32_t hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<std::uint32_t>(c - 'A' + 10);
  return static_cast<std::uint32_t>(c - 'a' + 10);
}

std::uint16_t swap16(std::uint16_t v) {
  return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}

}  // namespace

std::shared_ptr<const CrcTable> crc_table(std::uint8_t mode, std::uint32_t poly) {
  const TableKind kind = kind_of_mode(mode);
  if (kind == TableKind::kZero) poly = 0;  // one table of zeros serves every polynomial
  // Tables are built under the lock and never change afterwards; a computation holds its own
  // reference, so a table in use is never rebuilt or freed under it.
  static std::mutex mutex;
  static std::map<std::pair<TableKind, std::uint32_t>, std::shared_ptr<const CrcTable>> cache;
  constexpr std::size_t kMaxCached = 64;  // polynomials coming in through dataPolynom
  std::lock_guard<std::mutex> lock(mutex);
  const auto key = std::make_pair(kind, poly);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  auto table = std::make_shared<const CrcTable>(build_table(kind, poly));
  if (cache.size() < kMaxCached) cache.emplace(key, table);
  return table;
}

std::uint32_t hex_to_number(std::string_view text) {
  std::size_t p = 0;
  if (!text.empty() && text[0] == '$') p = 1;
  std::uint32_t value = 0;
  for (; p < text.size() && is_hex_digit(text[p]); ++p)
    value = value * 16u + hex_digit_value(text[p]);
  return value;
}

std::string number_to_hex(std::uint32_t value, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0x0Fu]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(text.size()) < digits)
    text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
  return text;
}

std::string compute_crc(std::string_view input, std::uint8_t hex_text, std::uint8_t mode,
                        std::uint32_t poly, std::uint32_t init, std::uint8_t swap_bytes) {
  const std::shared_ptr<const CrcTable> table_ref = crc_table(mode, poly);
  const CrcTable& table = *table_ref;

  std::string text(input);
  if (hex_text == kCrcTextHexTidied)
    std::erase_if(text, [](char c) { return c == ' ' || c == '$'; });

  std::uint32_t r32 = init;
  auto r16 = static_cast<std::uint16_t>(init & 0xFFFFu);
  auto feed = [&](std::uint8_t b) {
    switch (mode) {
      case kCrc16Reflected:
      case kCrc16ReflectedSwapped:
      case kCrc16ReflectedInvertedSwapped:
        r16 = static_cast<std::uint16_t>(table[(b ^ r16) & 0xFFu] ^ (r16 >> 8));
        break;
      case kCrc16MsbFirst:
        r16 = static_cast<std::uint16_t>(table[(b ^ (r16 >> 8)) & 0xFFu] ^
                                         static_cast<std::uint32_t>(r16 << 8));
        break;
      case kCrc32ReflectedInverted:
        r32 = table[(b ^ r32) & 0xFFu] ^ (r32 >> 8);
        break;
      default:
        break;
    }
  };

  if (!text.empty()) {
    if (hex_text != kCrcTextBytes) {
      for (std::size_t p = 0; p < text.size(); p += 2)
        feed(static_cast<std::uint8_t>(hex_to_number(std::string_view(text).substr(p, 2)) & 0xFFu));
    } else {
      for (char c : text) feed(static_cast<std::uint8_t>(c));
    }
    // The final step, only after bytes were fed: an empty text gives the initial value.
    switch (mode) {
      case kCrc16ReflectedSwapped:
        r16 = swap16(r16);
        break;
      case kCrc16ReflectedInvertedSwapped:
        r16 = swap16(static_cast<std::uint16_t>(~r16));
        break;
      case kCrc32ReflectedInverted:
        r32 = ~r32;
        break;
      default:
        break;
    }
  }

  if (mode == kCrc32ReflectedInverted) return number_to_hex(r32, 8);
  return number_to_hex(swap_bytes != 0 ? swap16(r16) : r16, 4);
}

void TKxCRC16_32::doCRC(TData& d, std::uint16_t) {
  const std::string text = read_string(d, dataText, "");
  const std::uint32_t poly = hex_to_number(read_string(d, dataPolynom, Polynom));
  const std::uint32_t init = hex_to_number(read_string(d, dataInit, Init));
  continue_string(d, onCRC, compute_crc(text, HexText, Mode, poly, init, SwapBytes));
}

}  // namespace kx
