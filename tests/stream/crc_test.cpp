#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "elements/stream/crc16_32.hpp"
#include "elements/stream/memory_stream_element.hpp"
#include "elements/stream/stream2hex.hpp"
#include "runtime/memory_stream.hpp"

namespace kx {
namespace {

class LivePins : public ::testing::Test {
 protected:
  void SetUp() override { enable_pins(); }
  void TearDown() override { disable_pins(); }
};

struct Sink {
  std::vector<std::string> got;
  void doEvent(TData& d, std::uint16_t) { got.push_back(to_string(d)); }
  EventLink link() { return make_link<&Sink::doEvent>(0, this); }
};

struct Source {
  std::string value;
  void get(TData& d, std::uint16_t) { set_string(d, value); }
  EventLink link() { return make_link<&Source::get>(0, this); }
};

// The transfer's settings: CRC-16/MODBUS over hexadecimal digit pairs.
TKxCRC16_32 modbus(std::uint8_t hex_text) {
  TKxCRC16_32 crc;
  crc.HexText = hex_text;
  crc.Mode = 0;
  crc.Polynom = "$A001";
  crc.Init = "$FFFF";
  return crc;
}

std::string run(TKxCRC16_32& crc, const std::string& text) {
  Sink sink;
  crc.onCRC = sink.link();
  TData d;
  set_string(d, text);
  fire(make_link<&TKxCRC16_32::doCRC>(0, &crc), d);
  EXPECT_EQ(sink.got.size(), 1u);
  return sink.got.empty() ? "<none>" : sink.got.back();
}

// A bit-by-bit CRC-16/MODBUS, independent of the tables.
std::uint16_t modbus_bitwise(const std::string& bytes, std::uint16_t r = 0xFFFF) {
  for (char c : bytes) {
    r ^= static_cast<std::uint8_t>(c);
    for (int i = 0; i < 8; ++i)
      r = (r & 1) ? static_cast<std::uint16_t>((r >> 1) ^ 0xA001) : r >> 1;
  }
  return r;
}

using Crc = LivePins;

TEST_F(Crc, PublishedCheckValues) {
  auto crc = modbus(0);
  EXPECT_EQ(run(crc, "123456789"), "4B37");
  auto hex = modbus(1);
  EXPECT_EQ(run(hex, "31 32 33 34 35 36 37 38 39"), "4B37");
  EXPECT_EQ(run(hex, "$31$32$33$34$35$36$37$38$39"), "4B37");
  EXPECT_EQ(run(hex, "313233343536373839"), "4B37");

  TKxCRC16_32 crc32;
  crc32.Mode = 4;
  crc32.Polynom = "EDB88320";
  crc32.Init = "FFFFFFFF";
  EXPECT_EQ(run(crc32, "123456789"), "CBF43926");

  // Most significant bit first: CRC-16/XMODEM and CRC-16/CCITT-FALSE.
  TKxCRC16_32 msb;
  msb.Mode = 3;
  msb.Polynom = "1021";
  msb.Init = "0";
  EXPECT_EQ(run(msb, "123456789"), "31C3");
  msb.Init = "FFFF";
  EXPECT_EQ(run(msb, "123456789"), "29B1");
}

TEST_F(Crc, FinalStepOfEveryMode) {
  auto crc = modbus(0);
  crc.Mode = 1;  // bytes exchanged
  EXPECT_EQ(run(crc, "123456789"), "374B");
  crc.SwapBytes = 1;  // exchanged back
  EXPECT_EQ(run(crc, "123456789"), "4B37");
  crc.SwapBytes = 0;
  crc.Mode = 2;  // inverted, then exchanged: CRC-16/USB with its bytes exchanged
  EXPECT_EQ(run(crc, "123456789"), "C8B4");
  crc.Mode = 0;
  crc.SwapBytes = 1;
  EXPECT_EQ(run(crc, "123456789"), "374B");
}

TEST_F(Crc, EmptyTextGivesTheInitialValueWithoutFinalStep) {
  auto crc = modbus(0);
  EXPECT_EQ(run(crc, ""), "FFFF");
  crc.Mode = 2;
  EXPECT_EQ(run(crc, ""), "FFFF");
  crc.Init = "$12";
  crc.Mode = 1;
  EXPECT_EQ(run(crc, ""), "0012");
  auto hex = modbus(1);
  EXPECT_EQ(run(hex, " $ "), "FFFF");  // nothing left after the blanks and "$" go
  TKxCRC16_32 crc32;
  crc32.Mode = 4;
  crc32.Polynom = "EDB88320";
  crc32.Init = "1";
  EXPECT_EQ(run(crc32, ""), "00000001");
}

TEST_F(Crc, UnknownModeGivesTheInitialValue) {
  auto crc = modbus(0);
  crc.Mode = 7;
  crc.Init = "$1234";
  EXPECT_EQ(run(crc, "123456789"), "1234");
  crc.Init = "$ABCDEF";
  EXPECT_EQ(run(crc, "x"), "CDEF");
}

TEST_F(Crc, ByteByByteEqualsOnePass) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
  auto whole = modbus(0);
  const std::string expected = run(whole, bytes);
  EXPECT_EQ(expected, number_to_hex(modbus_bitwise(bytes), 4));

  // As the transfer does it: each byte as hexadecimal text, the last result as the start.
  auto step = modbus(1);
  Source init{"$FFFF"};
  step.dataInit = init.link();
  for (char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    init.value = run(step, number_to_hex(b, 1));
  }
  EXPECT_EQ(init.value, expected);
}

TEST_F(Crc, ZeroByteThenFF) {
  auto crc = modbus(1);
  Source init{"FFFF"};
  crc.dataInit = init.link();
  EXPECT_EQ(run(crc, "0"), "40BF");
  init.value = "40BF";
  EXPECT_EQ(run(crc, "FF"), number_to_hex(modbus_bitwise(std::string("\x00\xFF", 2)), 4));
}

TEST_F(Crc, HexTextPairs) {
  auto hex = modbus(1);
  // "0A1" feeds 0Ah and then 01h.
  EXPECT_EQ(run(hex, "0A1"), number_to_hex(modbus_bitwise(std::string("\x0A\x01", 2)), 4));
  EXPECT_EQ(run(hex, "0a01"), run(hex, "0A01"));
  // HexText 2 keeps the blanks: " 3" converts to 0 (the blank ends the number).
  hex.HexText = 2;
  EXPECT_EQ(run(hex, " 3"), number_to_hex(modbus_bitwise(std::string(1, '\0')), 4));
}

TEST_F(Crc, ConnectedPolynomialAndInitialValueWin) {
  TKxCRC16_32 crc;
  crc.Mode = 0;
  crc.Polynom = "1021";
  crc.Init = "0";
  Source poly{"$A001"}, init{"FFFF"};
  crc.dataPolynom = poly.link();
  crc.dataInit = init.link();
  EXPECT_EQ(run(crc, "123456789"), "4B37");
}

TEST(HexNumbers, Parsing) {
  EXPECT_EQ(hex_to_number(""), 0u);
  EXPECT_EQ(hex_to_number("$A001"), 0xA001u);
  EXPECT_EQ(hex_to_number("FFFF"), 0xFFFFu);
  EXPECT_EQ(hex_to_number("$FFFF"), 0xFFFFu);
  EXPECT_EQ(hex_to_number("1G"), 1u);
  EXPECT_EQ(hex_to_number("$$1"), 0u);
  EXPECT_EQ(hex_to_number("edb88320"), 0xEDB88320u);
  EXPECT_EQ(hex_to_number("123456789"), 0x23456789u);  // modulo 2^32
  EXPECT_EQ(number_to_hex(0xA, 4), "000A");
  EXPECT_EQ(number_to_hex(0x12345, 4), "12345");
  EXPECT_EQ(number_to_hex(0, 1), "0");
}

// Many threads checking at once, with different modes and polynomials: each must always get
// its own answer (the tables are never rebuilt under a running check).
TEST(CrcThreads, ConcurrentChecksDoNotDisturbEachOther) {
  struct Case {
    std::uint8_t mode;
    std::uint32_t poly, init;
    const char* expected;
  };
  const Case cases[] = {
      {0, 0xA001, 0xFFFF, "4B37"}, {4, 0xEDB88320, 0xFFFFFFFF, "CBF43926"},
      {3, 0x1021, 0, "31C3"},      {2, 0xA001, 0xFFFF, "C8B4"},
      {3, 0x1021, 0xFFFF, "29B1"}, {0, 0x8408, 0, "2189"}};  // CRC-16/KERMIT, reflected 1021
  std::vector<std::thread> threads;
  std::vector<int> failures(std::size(cases), 0);
  for (std::size_t t = 0; t < std::size(cases); ++t) {
    threads.emplace_back([&, t] {
      for (int n = 0; n < 2000; ++n) {
        const Case& c = cases[t];
        if (compute_crc("123456789", 0, c.mode, c.poly, c.init, 0) != c.expected) ++failures[t];
        // A fresh polynomial now and then, so tables are built while others compute.
        (void)crc_table(static_cast<std::uint8_t>(n % 5), static_cast<std::uint32_t>(n));
      }
    });
  }
  for (auto& th : threads) th.join();
  for (std::size_t t = 0; t < std::size(cases); ++t) EXPECT_EQ(failures[t], 0) << "case " << t;
}

using Stream2Hex = LivePins;

TEST_F(Stream2Hex, TwoDigitsPerByte) {
  TKxStream2Hex s2h;
  Sink sink;
  s2h.onResult = sink.link();
  for (const std::string& t : {std::string("\x0A\xC3"), std::string("\x4B\x00\x37", 3),
                               std::string(), std::string("FZ")}) {
    TData d;
    set_string(d, t);
    fire(make_link<&TKxStream2Hex::doConvert>(0, &s2h), d);
  }
  ASSERT_EQ(sink.got.size(), 4u);
  EXPECT_EQ(sink.got[0], "0AC3");
  EXPECT_EQ(sink.got[1], "4B0037");
  EXPECT_EQ(sink.got[2], "");
  EXPECT_EQ(sink.got[3], "465A");
}

TEST(MemoryStreamElement, GetStreamRefersToTheHeldStreamWithoutMovingIt) {
  TKxMemoryStream ms;
  auto stream = std::make_unique<MemoryStream>();
  stream->write("abcdef", 6);
  stream->seek(2);
  MemoryStream* raw = stream.get();
  ms.replace_stream(std::move(stream));
  TData a, b;
  ms.getStream(a, 0);
  ms.getStream(b, 0);
  EXPECT_EQ(a.kind, kStream);
  EXPECT_EQ(to_stream(a), raw);
  EXPECT_EQ(to_stream(b), raw);
  EXPECT_EQ(raw->position(), 2u);
}

TEST(MemoryStreamElement, NullReplacementLeavesAnEmptyStream) {
  TKxMemoryStream ms;
  auto stream = std::make_unique<MemoryStream>();
  stream->write("ab", 2);
  ms.replace_stream(std::move(stream));
  ms.replace_stream(nullptr);
  TData d;
  ms.getStream(d, 0);
  ASSERT_NE(to_stream(d), nullptr);
  EXPECT_EQ(to_stream(d)->size(), 0u);
}

}  // namespace
}  // namespace kx
