#include <chrono>
#include <random>
#include <string>

#include "elements/text/str_mask.hpp"
#include "pins.hpp"

namespace kx {
namespace {

using testing_text::LivePins;
using testing_text::Sink;
using testing_text::text;

// The match exactly as written down, with its exponential retries: the reference that the
// tabulated one must agree with on every small input.
struct NaiveMatch {
  std::string t, m;
  char at_t(std::size_t i) const { return i >= 1 && i <= t.size() ? t[i - 1] : '\0'; }
  char at_m(std::size_t j) const { return j >= 1 && j <= m.size() ? m[j - 1] : '\0'; }
  bool match(std::size_t i, std::size_t j) const {
    while (j <= m.size() || i <= t.size()) {
      const char c = at_m(j);
      if (c == '#') {
        if (at_t(i) < '0' || at_t(i) > '9') break;
        ++i, ++j;
      } else if (c == '*') {
        if (match(i, j + 1)) return true;
        if (i >= t.size()) return false;
        for (std::size_t k = i + 1; k <= t.size(); ++k)
          if (match(k, j + 1)) return true;
        return false;
      } else if (c == '?') {
        if (at_t(i) == '\0') break;
        ++i, ++j;
      } else {
        if (c != at_t(i)) break;
        ++i, ++j;
      }
    }
    return j > m.size() && i > t.size();
  }
};

bool naive(const std::string& text, const std::string& mask) {
  NaiveMatch n{text + '\0', mask + '\0'};
  return n.match(1, 1);
}

TEST(MaskMatch, Wildcards) {
  EXPECT_TRUE(mask_matches("", "*"));
  EXPECT_TRUE(mask_matches("anything at all", "*"));
  EXPECT_FALSE(mask_matches("", "?"));
  EXPECT_TRUE(mask_matches("q", "?"));
  EXPECT_FALSE(mask_matches("qq", "?"));
  EXPECT_TRUE(mask_matches("7", "#"));
  EXPECT_FALSE(mask_matches("x", "#"));
  EXPECT_TRUE(mask_matches("AB", "A*B"));
  EXPECT_TRUE(mask_matches("AxxB", "A*B"));
  EXPECT_FALSE(mask_matches("ABx", "A*B"));
  EXPECT_TRUE(mask_matches("ver 12", "ver ##"));
  EXPECT_FALSE(mask_matches("ver 1", "ver ##"));
  EXPECT_TRUE(mask_matches("a*b", "a*b"));  // a star in the text is an ordinary byte
  EXPECT_FALSE(mask_matches("", "MAGNETOFLUX"));
  EXPECT_FALSE(mask_matches("MAGNETOFLUX1", "MAGNETOFLUX"));
}

TEST(MaskMatch, NulBytesAreOrdinaryBytes) {
  EXPECT_TRUE(mask_matches(std::string("\x12\0\x34", 3), std::string("\x12\0\x34", 3)));
  EXPECT_FALSE(mask_matches(std::string("\x12\0\x35", 3), std::string("\x12\0\x34", 3)));
  // To "?" a NUL inside the text reads like the end, and the closing NUL of the mask meets
  // a NUL at the end of the text.
  EXPECT_FALSE(mask_matches(std::string("a\0", 2), "a?"));
  EXPECT_TRUE(mask_matches(std::string("a\0", 2), "a"));
  EXPECT_FALSE(mask_matches(std::string("a\0b", 3), "a"));
}

TEST(MaskMatch, AgreesWithTheRetryingMatchOnEverySmallInput) {
  std::mt19937 rng(20240607);
  const std::string alphabet = std::string("ab1*?#", 6) + '\0';
  auto random_text = [&](std::size_t max_len, std::size_t letters) {
    std::string s(rng() % (max_len + 1), ' ');
    for (char& c : s) c = alphabet[rng() % letters];
    return s;
  };
  int matched = 0;
  for (int n = 0; n < 20000; ++n) {
    const std::string mask = random_text(7, alphabet.size());
    // Texts of plain bytes, digits and NUL (a star in a text is only a byte).
    std::string t = random_text(7, alphabet.size());
    const bool expected = naive(t, mask);
    matched += expected ? 1 : 0;
    ASSERT_EQ(mask_matches(t, mask), expected)
        << "text \"" << t << "\" (" << t.size() << ") mask \"" << mask << "\" (" << mask.size()
        << ")";
  }
  // Both answers occur often enough for the comparison to mean something.
  EXPECT_GT(matched, 500);
  EXPECT_LT(matched, 19500);
}

TEST(MaskMatch, LongAnswerAgainstManyStarsIsFast) {
  const std::string answer(4096, 'a');
  std::string mask;
  for (int i = 0; i < 40; ++i) mask += "*a";
  mask += "*b";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(mask_matches(answer, mask));
  EXPECT_TRUE(mask_matches(answer + "b", mask));
  EXPECT_TRUE(mask_matches(answer, "*?*?*?*?*?*?*?*?*?*?*?*?*"));
  EXPECT_FALSE(mask_matches(answer, std::string(200, '*') + "#"));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(2));
}

TEST(LowerCase, Windows1251Letters) {
  EXPECT_EQ(lower_1251("MAGNETOFLUX az"), "magnetoflux az");
  // А..Я to а..я
  for (int c = 0xC0; c <= 0xDF; ++c)
    EXPECT_EQ(static_cast<unsigned char>(lower_1251(static_cast<char>(c))), c + 0x20) << c;
  EXPECT_EQ(lower_1251('\xA8'), '\xB8');  // Ё
  EXPECT_EQ(lower_1251('\xB8'), '\xB8');  // ё stays
  EXPECT_EQ(lower_1251('\xAA'), '\xBA');  // Є
  EXPECT_EQ(lower_1251('\xAF'), '\xBF');  // Ї
  EXPECT_EQ(lower_1251('\xB2'), '\xB3');  // І
  EXPECT_EQ(lower_1251('\xA5'), '\xB4');  // Ґ
  EXPECT_EQ(lower_1251('\xA1'), '\xA2');  // Ў
  EXPECT_EQ(lower_1251('\xA3'), '\xBC');  // Ј
  EXPECT_EQ(lower_1251('\x80'), '\x90');  // Ђ
  EXPECT_EQ(lower_1251('\x81'), '\x83');  // Ѓ
  EXPECT_EQ(lower_1251('\x8A'), '\x9A');  // Љ
  EXPECT_EQ(lower_1251('\x8F'), '\x9F');  // Џ
  EXPECT_EQ(lower_1251('\xBD'), '\xBE');  // Ѕ
}

TEST(LowerCase, NonLettersStay) {
  int changed = 0;
  for (int c = 0; c < 256; ++c)
    if (static_cast<unsigned char>(lower_1251(static_cast<char>(c))) != c) ++changed;
  // 26 Latin, 32 Russian, Ё and 14 more Cyrillic capitals.
  EXPECT_EQ(changed, 26 + 32 + 1 + 14);
  for (char c : std::string("09*?#%$ \x96\xAB\xB0\xB1\xB9\xA9\x88"))
    EXPECT_EQ(lower_1251(c), c) << static_cast<int>(static_cast<unsigned char>(c));
}

class StrMask : public LivePins {
 protected:
  // Compares `t` through the element's input and reports which output got what.
  std::string compare(TKxStrMask& mask, const std::string& t) {
    Sink match, no_match;
    mask.onMatch = match.link();
    mask.onNoMatch = no_match.link();
    TData d = text(t);
    fire(make_link<&TKxStrMask::doCompare>(0, &mask), d);
    EXPECT_EQ(match.got.size() + no_match.got.size(), 1u);
    if (!match.got.empty()) return "match:" + match.last_text();
    return "no match:" + no_match.last_text();
  }
};

TEST_F(StrMask, DeviceWordIgnoringCasePassesTheTextAsRead) {
  TKxStrMask m;
  m.Mask = "MAGNETOFLUX";
  m.IgnoreCase = 1;
  EXPECT_EQ(compare(m, "magnetoflux"), "match:magnetoflux");
  EXPECT_EQ(compare(m, "MagnetoFlux"), "match:MagnetoFlux");
  EXPECT_EQ(compare(m, "MAGNETOFLUX1"), "no match:MAGNETOFLUX1");
  EXPECT_EQ(compare(m, ""), "no match:");
}

TEST_F(StrMask, CyrillicFoldsOnlyWithIgnoreCaseOne) {
  TKxStrMask m;
  m.Mask = "\xC5\xCB\xA8\xC0";  // ЕЛЁА
  m.IgnoreCase = 1;
  EXPECT_EQ(compare(m, "\xE5\xEB\xB8\xE0"), "match:\xE5\xEB\xB8\xE0");     // елёа
  EXPECT_EQ(compare(m, "\xE5\xEB\xE5\xE0"), "no match:\xE5\xEB\xE5\xE0");  // е is not ё
  m.IgnoreCase = 2;
  EXPECT_EQ(compare(m, "\xE5\xEB\xB8\xE0"), "no match:\xE5\xEB\xB8\xE0");
  m.IgnoreCase = 0;
  EXPECT_EQ(compare(m, "\xC5\xCB\xA8\xC0"), "match:\xC5\xCB\xA8\xC0");
}

TEST_F(StrMask, SetMaskReplacesThePattern) {
  TKxStrMask m;
  m.Mask = "FZ";
  m.IgnoreCase = 1;
  EXPECT_EQ(compare(m, "fz"), "match:fz");
  TData mask = text("4B37465A");
  fire(make_link<&TKxStrMask::doSetMask>(1, &m), mask);
  EXPECT_EQ(m.Mask, "4B37465A");
  EXPECT_EQ(compare(m, "4b37465a"), "match:4b37465a");
  EXPECT_EQ(compare(m, "FZ"), "no match:FZ");
}

TEST_F(StrMask, ConnectedTextInputIsReadInsteadOfTheEvent) {
  TKxStrMask m;
  m.Mask = "S?";
  testing_text::Source src{"SZ"};
  m.dataText = src.link();
  EXPECT_EQ(compare(m, "not this"), "match:SZ");
}

}  // namespace
}  // namespace kx
