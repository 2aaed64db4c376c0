#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/tdata.hpp"

namespace kx {
namespace {

TEST(CompareTextNocase, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(compare_text_nocase("abc", "ABC"), 0);
  EXPECT_EQ(compare_text_nocase("MiXeD 1", "mixed 1"), 0);
  EXPECT_LT(compare_text_nocase("abc", "abd"), 0);
  EXPECT_GT(compare_text_nocase("b", "A"), 0);
  // Cyrillic small and capital a (Windows-1251 E0 and C0) are different letters here.
  EXPECT_EQ(compare_text_nocase("\xE0", "\xC0"), 0x20);
  // Letters fold up: 'a' compares as 'A' (41), which sorts before '[' (5B).
  EXPECT_LT(compare_text_nocase("a", "["), 0);
  // Bytes compare unsigned: E0 sorts after z.
  EXPECT_GT(compare_text_nocase("\xE0", "z"), 0);
}

TEST(CompareTextNocase, APrefixSortsFirst) {
  EXPECT_LT(compare_text_nocase("ab", "abc"), 0);
  EXPECT_GT(compare_text_nocase("abc", "AB"), 0);
  EXPECT_EQ(compare_text_nocase("", ""), 0);
  EXPECT_LT(compare_text_nocase("", "a"), 0);
}

TEST(CompareTextNocase, EmbeddedNulBytesAreCompared) {
  const std::string with_nul("a\0b", 3);
  const std::string other_nul("a\0c", 3);
  EXPECT_LT(compare_text_nocase(with_nul, other_nul), 0);
  EXPECT_NE(compare_text_nocase(std::string("a\0", 2), "a"), 0);
}

TEST(FindFrom, OneBasedPositionsFromAStart) {
  EXPECT_EQ(find_from("b", "abcb", 1), 2u);
  EXPECT_EQ(find_from("b", "abcb", 2), 2u);
  EXPECT_EQ(find_from("b", "abcb", 3), 4u);
  EXPECT_EQ(find_from("b", "abcb", 5), 0u);
  EXPECT_EQ(find_from("cb", "abcb", 1), 3u);
  EXPECT_EQ(find_from("x", "abcb", 1), 0u);
  EXPECT_EQ(find_from("", "abcb", 1), 0u);
  EXPECT_EQ(find_from("abcbx", "abcb", 1), 0u);
  EXPECT_EQ(find_from("b", "", 1), 0u);
}

TEST(ReplaceAll, ResumesBehindTheInsertedText) {
  EXPECT_EQ(replace_all("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(replace_all("aaa", "aa", "b"), "ba");
  EXPECT_EQ(replace_all("x-y-z", "-", ""), "xyz");
  EXPECT_EQ(replace_all("abc", "", "Z"), "abc");
  EXPECT_EQ(replace_all("%1 and %1", "%1", "COM3"), "COM3 and COM3");
  EXPECT_EQ(replace_all("none", "q", "r"), "none");
}

TEST(ReplaceAll, RefusedOccurrencesAreSkippedByOneCharacter) {
  std::vector<std::size_t> asked;
  const std::string result =
      replace_all(std::string("aXaXaX"), "aX", "_", [&](const std::string&, std::size_t pos) {
        asked.push_back(pos);
        return pos != 3;
      });
  EXPECT_EQ(result, "_aX_");
  // Positions are 1-based, in the text as it came in.
  EXPECT_EQ(asked, (std::vector<std::size_t>{1, 3, 5}));

  // A refusal moves on by one character only, so an overlapping occurrence is still found.
  std::vector<std::size_t> asked2;
  EXPECT_EQ(replace_all(std::string("aaa"), "aa", "b",
                        [&](const std::string&, std::size_t pos) {
                          asked2.push_back(pos);
                          return pos == 2;
                        }),
            "ab");
  EXPECT_EQ(asked2, (std::vector<std::size_t>{1, 2}));
}

// Every occurrence replaced in one pass: a text of a hundred thousand placeholders, each
// growing, takes no time worth the name (an in-place replacement moving the rest of the text
// for each one would take seconds).
TEST(ReplaceAll, ManyOccurrencesTakeLinearTime) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "%1";
  const auto t0 = std::chrono::steady_clock::now();
  const std::string out = replace_all(text, "%1", "value");
  const auto spent = std::chrono::steady_clock::now() - t0;
  EXPECT_EQ(out.size(), 500000u);
  EXPECT_EQ(out.substr(0, 10), "valuevalue");
  EXPECT_LT(spent, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace kx
