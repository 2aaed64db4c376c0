#include <string>

#include "elements/text/format_str.hpp"
#include "elements/text/str_cat.hpp"
#include "pins.hpp"

namespace kx {
namespace {

using testing_text::LivePins;
using testing_text::Sink;
using testing_text::Source;
using testing_text::text;

class FormatStr : public LivePins {
 protected:
  // Formats with connected parameter sources holding `values` (1-based in order).
  std::string format(const std::string& mask, std::vector<std::string> values, std::int32_t count) {
    TKxFormatStr fmt;
    fmt.Mask = mask;
    fmt.set_Count(count);
    std::vector<Source> sources(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      sources[i].value = values[i];
      fmt.dataParam[i + 1] = sources[i].link();
    }
    Sink sink;
    fmt.onResult = sink.link();
    TData d;
    fire(make_link<&TKxFormatStr::doFormat>(0, &fmt), d);
    EXPECT_EQ(sink.got.size(), 1u);
    EXPECT_EQ(fmt.result, sink.last_text());
    return sink.last_text();
  }
};

TEST_F(FormatStr, InsertedDigitDoesNotLengthenAPlaceholderInFrontOfIt) {
  EXPECT_EQ(format("%2%1", {"7", "x"}, 2), "x7");
  EXPECT_EQ(format("[%1]%2", {"a", "b"}, 2), "[a]b");
}

TEST_F(FormatStr, PlaceholderFollowedByADigitIsNotReplaced) {
  EXPECT_EQ(format("%10", {"v"}, 1), "%10");
  EXPECT_EQ(format("%1 %10 %1", {"v"}, 1), "v %10 v");
  // With ten parameters %10 is the tenth, and %1 still leaves it alone.
  EXPECT_EQ(format("%1-%10", {"a", "", "", "", "", "", "", "", "", "j"}, 10), "a-j");
}

TEST_F(FormatStr, EscapedPercentAndPlaceholdersWithoutParameter) {
  EXPECT_EQ(format("100%%", {}, 0), "100%");
  EXPECT_EQ(format("%%1 is %1", {"x"}, 1), "%1 is x");
  EXPECT_EQ(format("%1 of %3", {"a", "b"}, 2), "a of %3");
}

TEST_F(FormatStr, InsertedValuesTakePartInLaterReplacements) {
  EXPECT_EQ(format("%1", {"%2", "second"}, 2), "second");
  // A value holding its own placeholder is inserted once, not again and again.
  EXPECT_EQ(format("%1", {"(%1)"}, 1), "(%1)");
}

TEST_F(FormatStr, MarkBytesInsideValues) {
  // A NUL inside a value comes out as "%", a byte 1 is removed, like the private marks.
  EXPECT_EQ(format("<%1>",
                   {std::string("a\0b\x01"
                                "c",
                                5)},
                   1),
            "<a%bc>");
}

TEST_F(FormatStr, UnconnectedParametersTakeTheEventValues) {
  TKxFormatStr fmt;
  fmt.Mask = "%1|%2";
  fmt.set_Count(2);
  Sink sink;
  fmt.onResult = sink.link();
  TData d = text("first");
  fire(make_link<&TKxFormatStr::doFormat>(0, &fmt), d);
  ASSERT_EQ(sink.got.size(), 1u);
  EXPECT_EQ(sink.last_text(), "first|");
}

using StrCat = LivePins;

TEST_F(StrCat, ConnectedFirstTextAndDefaultSecond) {
  TKxStrCat cat;
  cat.Str2 = "465A";
  Source ff{"FF"};
  cat.dataStr1 = ff.link();
  Sink sink;
  cat.onResult = sink.link();
  TData d = text("ignored");
  fire(make_link<&TKxStrCat::doStrCat>(0, &cat), d);
  EXPECT_EQ(sink.last_text(), "FF465A");
  EXPECT_EQ(cat.result, "FF465A");
}

TEST_F(StrCat, UnconnectedFirstTextTakesTheEventValue) {
  TKxStrCat cat;
  cat.Str2 = "465A";
  Sink sink;
  cat.onResult = sink.link();
  TData d = text("12AB");
  fire(make_link<&TKxStrCat::doStrCat>(0, &cat), d);
  EXPECT_EQ(sink.last_text(), "12AB465A");
  // With both defaults set the event is not read at all.
  cat.Str1 = "x";
  cat.Str2 = "y";
  TData e = text("event");
  fire(make_link<&TKxStrCat::doStrCat>(0, &cat), e);
  EXPECT_EQ(sink.last_text(), "xy");
}

}  // namespace
}  // namespace kx
