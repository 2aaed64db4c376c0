// The text, mask, split, hexadecimal and checksum routines on any input: no crash, no
// undefined behaviour, and a few properties that must hold whatever the bytes are.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "elements/stream/crc16_32.hpp"
#include "elements/stream/stream2hex.hpp"
#include "elements/text/format_str.hpp"
#include "elements/text/multi_str_part.hpp"
#include "elements/text/str_mask.hpp"

namespace {

// The wildcard match with its plain retries; only run on short inputs.
bool naive(std::string_view t, std::string_view m, std::size_t i, std::size_t j) {
  auto at = [](std::string_view s, std::size_t p) {
    return p >= 1 && p <= s.size() ? s[p - 1] : '\0';
  };
  while (j <= m.size() || i <= t.size()) {
    const char c = at(m, j);
    if (c == '*') {
      if (naive(t, m, i, j + 1)) return true;
      if (i >= t.size()) return false;
      for (std::size_t k = i + 1; k <= t.size(); ++k)
        if (naive(t, m, k, j + 1)) return true;
      return false;
    }
    const char x = at(t, i);
    if (c == '#' ? (x < '0' || x > '9') : c == '?' ? x == '\0' : c != x) break;
    ++i, ++j;
  }
  return j > m.size() && i > t.size();
}

struct Source {
  std::string value;
  void get(kx::TData& d, std::uint16_t) { kx::set_string(d, value); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  kx::enable_pins();
  const std::uint8_t selector = data[0];
  const std::size_t cut = std::min<std::size_t>(data[1], size - 2);
  const std::string a(reinterpret_cast<const char*>(data) + 2, cut);
  const std::string b(reinterpret_cast<const char*>(data) + 2 + cut, size - 2 - cut);

  // Mask: the tabulated match agrees with the retrying one.
  const bool matched = kx::mask_matches(b, a);
  if (a.size() <= 8 && b.size() <= 12 && matched != naive(b + '\0', a + '\0', 1, 1))
    __builtin_trap();
  const std::string folded = kx::lower_1251(b);
  if (kx::lower_1251(folded) != folded) __builtin_trap();

  // Format: a mask without "%" and without the mark bytes 0 and 1 comes out as it is.
  kx::TKxFormatStr fmt;
  fmt.Mask = a;
  // Up to three parameters: every inserted value is searched for the later placeholders, so
  // values that all hold each other's placeholders grow the text by a power of the count (the
  // tool itself formats two).
  fmt.set_Count(selector % 4);
  Source src{b};
  for (std::size_t i = 1; i < fmt.dataParam.size(); ++i)
    fmt.dataParam[i] = kx::make_link<&Source::get>(0, &src);
  kx::TData d;
  fmt.doFormat(d, 0);
  if (a.find_first_of(std::string("%\0\1", 3)) == std::string::npos && fmt.result != a)
    __builtin_trap();

  // Split: never more than the text.
  kx::TKxMultiStrPart split;
  split.Delimiter = a.substr(0, selector % 4);
  split.Skip = selector % 3;
  split.set_Count(3);
  kx::TData t;
  kx::set_string(t, b);
  split.doSplit(t, 0);
  std::size_t total = 0;
  for (std::uint16_t i = 0; i < 4; ++i) {
    kx::TData p;
    split.getPart(p, i);
    total += p.str_value.size();
  }
  if (total > b.size()) __builtin_trap();

  // Checksums: the hexadecimal text of the bytes checks like the bytes themselves, and
  // without a final step one pass equals byte-by-byte feeding.
  const std::uint8_t mode = static_cast<std::uint8_t>(selector % 8);
  const std::uint32_t poly = kx::hex_to_number(a);
  const std::uint32_t init = 0xFFFFu ^ selector;
  const std::string raw = kx::compute_crc(b, 0, mode, poly, init, 0);
  if (kx::compute_crc(kx::bytes_to_hex(b), 2, mode, poly, init, 0) != raw) __builtin_trap();
  (void)kx::compute_crc(a, 1, mode, poly, init, selector & 1);
  if (mode == 0 || mode == 3) {
    std::uint32_t r = init;
    for (char c : b) r = kx::hex_to_number(kx::compute_crc(std::string(1, c), 0, mode, poly, r, 0));
    if (!b.empty() && kx::number_to_hex(r, 4) != raw) __builtin_trap();
  }
  return 0;
}
