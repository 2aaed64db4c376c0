#include "elements/text/str_mask.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace kx {

namespace {

// Windows-1251 lower-casing, as a Russian Windows lower-cases: ASCII A-Z, the Russian
// alphabet C0-DF, Ё, and the Serbian, Macedonian, Ukrainian and Belarusian letters.
constexpr std::array<std::uint8_t, 256> make_lower_table() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(i);
  for (unsigned c = 'A'; c <= 'Z'; ++c) table[c] = static_cast<std::uint8_t>(c + 0x20);
  for (unsigned c = 0xC0; c <= 0xDF; ++c) table[c] = static_cast<std::uint8_t>(c + 0x20);
  constexpr std::uint8_t pairs[][2] = {
      {0x80, 0x90},  // Ђ ђ
      {0x81, 0x83},  // Ѓ ѓ
      {0x8A, 0x9A},  // Љ љ
      {0x8C, 0x9C},  // Њ њ
      {0x8D, 0x9D},  // Ќ ќ
      {0x8E, 0x9E},  // Ћ ћ
      {0x8F, 0x9F},  // Џ џ
      {0xA1, 0xA2},  // Ў ў
      {0xA3, 0xBC},  // Ј ј
      {0xA5, 0xB4},  // Ґ ґ
      {0xA8, 0xB8},  // Ё ё
      {0xAA, 0xBA},  // Є є
      {0xAF, 0xBF},  // Ї ї
      {0xB2, 0xB3},  // І і
      {0xBD, 0xBE},  // Ѕ ѕ
  };
  for (const auto& p : pairs) table[p[0]] = p[1];
  return table;
}

constexpr std::array<std::uint8_t, 256> kLower = make_lower_table();

bool is_digit(std::uint8_t c) {
  return c >= '0' && c <= '9';
}

}  // namespace

char lower_1251(char c) {
  return static_cast<char>(kLower[static_cast<std::uint8_t>(c)]);
}

std::string lower_1251(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lower_1251(c);
  return out;
}

// The match works on 1-based positions in the text and the mask, each followed by one NUL
// (lt and lm count it); positions beyond either read as NUL. A plain byte, "?" and "#" move
// both positions on; "*" tries the text position where it stands and every later one up to
// the closing NUL (only the one where it stands when that is already the NUL or beyond).
//
// The same (text position, mask position behind a star) pair is reached many times by
// nested stars, so instead of retrying recursively the answers are tabulated star by star,
// last star first: row[k] is the answer from text position k just behind the star, and
// any[k] says whether some position k..lt answers true. A text position beyond lt always
// answers as lt + 1 does (the rest of the mask sees only NULs there), so lt + 1 rows suffice:
// time O(text x mask), memory O(text).
bool mask_matches(std::string_view text, std::string_view mask) {
  const std::size_t lt = text.size() + 1;
  const std::size_t lm = mask.size() + 1;
  auto at_text = [&](std::size_t i) -> std::uint8_t {
    return i >= 1 && i <= text.size() ? static_cast<std::uint8_t>(text[i - 1]) : 0;
  };
  auto at_mask = [&](std::size_t j) -> std::uint8_t {
    return j >= 1 && j <= mask.size() ? static_cast<std::uint8_t>(mask[j - 1]) : 0;
  };

  std::vector<std::size_t> stars;
  for (std::size_t j = 1; j <= mask.size(); ++j)
    if (at_mask(j) == '*') stars.push_back(j);

  std::vector<std::uint8_t> row(lt + 2, 0), any(lt + 2, 0);
  std::vector<std::uint8_t> next_row(lt + 2, 0), next_any(lt + 2, 0);

  // From (i, j) up to the first star: its answer, taken from the star's tables.
  auto run = [&](std::size_t i, std::size_t j, const std::vector<std::uint8_t>& star_row,
                 const std::vector<std::uint8_t>& star_any) -> bool {
    while (j <= lm || i <= lt) {
      const std::uint8_t c = at_mask(j);
      const std::uint8_t t = at_text(i);
      if (c == '*') return i < lt ? star_any[i] != 0 : star_row[std::min(i, lt + 1)] != 0;
      if (c == '#') {
        if (!is_digit(t)) return false;
      } else if (c == '?') {
        if (t == 0) return false;
      } else if (c != t) {
        return false;
      }
      ++i;
      ++j;
    }
    return true;  // both ran out together
  };

  for (std::size_t s = stars.size(); s-- > 0;) {
    for (std::size_t k = 1; k <= lt + 1; ++k) next_row[k] = run(k, stars[s] + 1, row, any) ? 1 : 0;
    next_any[lt] = next_row[lt];
    for (std::size_t k = lt; k-- > 1;)
      next_any[k] = static_cast<std::uint8_t>(next_row[k] | next_any[k + 1]);
    row.swap(next_row);
    any.swap(next_any);
  }
  return run(1, 1, row, any);
}

void TKxStrMask::doCompare(TData& d, std::uint16_t) {
  std::string text = read_string(d, dataText, "");
  // The whole text is folded, also behind a NUL byte inside it.
  const bool matched =
      IgnoreCase == 1 ? mask_matches(lower_1251(text), lower_1251(Mask)) : mask_matches(text, Mask);
  continue_string(d, matched ? onMatch : onNoMatch, std::move(text));
}

void TKxStrMask::doSetMask(TData& d, std::uint16_t) {
  Mask = to_string(d);
}

void TKxStrMask::getMask(TData& d, std::uint16_t) {
  set_string(d, Mask);
}

}  // namespace kx
