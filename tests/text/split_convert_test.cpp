#include <string>

#include "elements/stream/memory_stream_element.hpp"
#include "elements/text/convertor.hpp"
#include "elements/text/data_to_file.hpp"
#include "elements/text/multi_str_part.hpp"
#include "pins.hpp"

namespace kx {
namespace {

using testing_text::integer;
using testing_text::LivePins;
using testing_text::Sink;
using testing_text::text;

class MultiStrPart : public LivePins {
 protected:
  TKxMultiStrPart split;
  Sink rest, none;

  void SetUp() override {
    LivePins::SetUp();
    split.Delimiter = " ";
    split.set_Count(3);
    split.onRest = rest.link();
    split.onNoDelimiter = none.link();
  }
  std::string part(std::uint16_t i) {
    TData d;
    split.getPart(d, i);
    return to_string(d);
  }
  void run(const std::string& t) {
    TData d = text(t);
    fire(make_link<&TKxMultiStrPart::doSplit>(0, &split), d);
  }
};

TEST_F(MultiStrPart, ThreePartsAndTheRest) {
  run("ab cd ef gh");
  EXPECT_EQ(part(0), "ab");
  EXPECT_EQ(part(1), "cd");
  EXPECT_EQ(part(2), "ef");
  ASSERT_EQ(rest.got.size(), 1u);
  EXPECT_EQ(rest.last_text(), "gh");
  EXPECT_TRUE(none.got.empty());
}

TEST_F(MultiStrPart, ShortTextLeavesLaterPartsEmpty) {
  run("ab cd ef gh");
  run("MAGNETOFLUX 9.0");
  EXPECT_EQ(part(0), "MAGNETOFLUX");
  EXPECT_EQ(part(1), "9.0");
  EXPECT_EQ(part(2), "");
  EXPECT_EQ(rest.last_text(), "");
}

TEST_F(MultiStrPart, NoDelimiterClearsThePartsAndPassesTheText) {
  run("ab cd ef");
  run("abc");
  ASSERT_EQ(none.got.size(), 1u);
  EXPECT_EQ(none.last_text(), "abc");
  EXPECT_EQ(part(0), "");
  EXPECT_EQ(part(1), "");
  EXPECT_EQ(rest.got.size(), 1u);  // only the first split
}

TEST_F(MultiStrPart, TwoBlanksGiveAnEmptyPart) {
  run("ab  cd");
  EXPECT_EQ(part(0), "ab");
  EXPECT_EQ(part(1), "");
  EXPECT_EQ(part(2), "cd");
}

TEST_F(MultiStrPart, SkipDropsLeadingPieces) {
  split.Skip = 2;
  run("x y a b c d");
  EXPECT_EQ(part(0), "a");
  EXPECT_EQ(part(2), "c");
  EXPECT_EQ(rest.last_text(), "d");
}

TEST_F(MultiStrPart, SplitsAtAnyDelimiterCharacterSkippingTheWholeDelimiter) {
  split.Delimiter = ";,";
  // ";," occurs as a whole; the first cut ends at the "," and skips two characters.
  run("ab,cd;,ef");
  EXPECT_EQ(part(0), "ab");
  EXPECT_EQ(part(1), "d");
  EXPECT_EQ(part(2), "ef");
  // Without the whole delimiter nothing is split.
  run("ab,cd");
  EXPECT_EQ(none.last_text(), "ab,cd");
}

TEST_F(MultiStrPart, EmptyDelimiterNeverOccursAndPartsBeyondCountAreEmpty) {
  split.Delimiter = "";
  run("a b");
  EXPECT_EQ(none.last_text(), "a b");
  split.Delimiter = " ";
  run("a b c d");
  EXPECT_EQ(part(3), "");
  EXPECT_EQ(part(999), "");
}

class Convertor : public LivePins {
 protected:
  // The text passed on, or "<none>" when nothing was.
  std::string convert(std::int32_t mode, std::int32_t digits, std::int32_t n) {
    TKxConvertor c;
    c.Mode = mode;
    c.Digits = digits;
    Sink sink;
    c.onResult = sink.link();
    TData d = integer(n);
    fire(make_link<&TKxConvertor::doConvert>(0, &c), d);
    EXPECT_LE(sink.got.size(), 1u);
    return sink.last_text();
  }
};

TEST_F(Convertor, ModeFourGivesOneByteNulIncluded) {
  EXPECT_EQ(convert(4, 1, 65), "A");
  EXPECT_EQ(convert(4, 1, 256), std::string(1, '\0'));
  EXPECT_EQ(convert(4, 1, 0), std::string(1, '\0'));
  EXPECT_EQ(convert(4, 1, -1), "\xFF");
}

TEST_F(Convertor, ModeSixHexadecimalDigits) {
  EXPECT_EQ(convert(6, 1, 0), "0");
  EXPECT_EQ(convert(6, 1, 255), "FF");
  EXPECT_EQ(convert(6, 1, -1), "FFFFFFFF");
  EXPECT_EQ(convert(6, 0, 0x4B37), "4B37");
  EXPECT_EQ(convert(6, 4, 10), "000A");
  EXPECT_EQ(convert(6, 0x14, 10), "000A");  // only the low 4 bits of Digits count
  EXPECT_EQ(convert(6, 15, 1), "000000000000001");
  EXPECT_EQ(convert(6, 2, 0x1234), "1234");
}

TEST_F(Convertor, OtherModesPassNothingOn) {
  EXPECT_EQ(convert(0, 1, 65), "<none>");
  EXPECT_EQ(convert(5, 1, 65), "<none>");
  EXPECT_EQ(convert(7, 1, 65), "<none>");
}

class DataToFile : public LivePins {
 protected:
  TKxMemoryStream holder;
  TKxDataToFile dtf;
  Sink sink;
  void SetUp() override {
    LivePins::SetUp();
    const std::uint8_t bytes[] = {0x41, 0x00, 0xFF};
    auto stream = std::make_unique<MemoryStream>();
    stream->write(bytes, sizeof bytes);
    stream->seek(0);
    holder.replace_stream(std::move(stream));
    dtf.dataStream = make_link<&TKxMemoryStream::getStream>(0, &holder);
    dtf.onGet = sink.link();
  }
  void get() {
    TData d = text("event");
    fire(make_link<&TKxDataToFile::doGet>(1, &dtf), d);
  }
};

TEST_F(DataToFile, OneByteEachTimeThenZeroWithoutMoving) {
  for (int i = 0; i < 5; ++i) get();
  ASSERT_EQ(sink.got.size(), 5u);
  const std::int32_t expected[] = {0x41, 0, 255, 0, 0};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(sink.got[i].kind, kInteger) << i;
    EXPECT_EQ(sink.got[i].int_value, expected[i]) << i;
  }
  EXPECT_EQ(holder.stream().position(), 3u);
}

TEST_F(DataToFile, WithoutAStreamNothingHappens) {
  dtf.dataStream = EventLink{};
  get();
  EXPECT_TRUE(sink.got.empty());
  EXPECT_EQ(holder.stream().position(), 0u);
}

}  // namespace
}  // namespace kx
