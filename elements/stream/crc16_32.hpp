// TKxCRC16_32: a 16-bit or 32-bit cyclic redundancy check over a text, with the polynomial
// and the initial value given as hexadecimal texts; the result goes on as hexadecimal text.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/tdata.hpp"

namespace kx {

// What the text holds (values of HexText).
enum : std::uint8_t {
  kCrcTextBytes = 0,      // its own bytes
  kCrcTextHexTidied = 1,  // hexadecimal digit pairs, one byte each; blanks and "$" removed first
  kCrcTextHex = 2,        // hexadecimal digit pairs as they stand (so is any value above 1)
};

// The checks (values of Mode). Other values leave the register at its initial value.
enum : std::uint8_t {
  kCrc16Reflected = 0,                 // reflected 16 bits
  kCrc16ReflectedSwapped = 1,          // as kCrc16Reflected, bytes exchanged at the end
  kCrc16ReflectedInvertedSwapped = 2,  // as kCrc16Reflected, inverted and exchanged at the end
  kCrc16MsbFirst = 3,                  // most significant bit first, 16 bits
  kCrc32ReflectedInverted = 4,         // reflected 32 bits, inverted at the end
};

class TKxCRC16_32 {
 public:
  std::uint8_t HexText = kCrcTextBytes;
  std::uint8_t Mode = kCrc16Reflected;
  std::string Polynom;         // hexadecimal, a leading "$" allowed
  std::string Init;            // hexadecimal
  std::uint8_t SwapBytes = 0;  // exchange the two bytes of a 16-bit result before the text
  EventLink dataText;
  EventLink dataPolynom;
  EventLink dataInit;
  EventLink onCRC;

  void doCRC(TData& d, std::uint16_t index);
};

using CrcTable = std::array<std::uint32_t, 256>;

// The lookup table for a mode and a polynomial. Tables are immutable and built once per
// (kind, polynomial), so any number of threads may compute at the same time; the reflected
// modes share the reflected table, kCrc16MsbFirst has its own, other values get a table of
// zeros.
std::shared_ptr<const CrcTable> crc_table(std::uint8_t mode, std::uint32_t poly);

// Hexadecimal text to number: one leading "$" skipped, digits accumulated modulo 2^32 up to
// the first other character.
std::uint32_t hex_to_number(std::string_view text);
// Upper-case hexadecimal digits, padded with "0" on the left to at least `digits`.
std::string number_to_hex(std::uint32_t value, int digits);

// The whole check as doCRC computes it, on plain values.
std::string compute_crc(std::string_view text, std::uint8_t hex_text, std::uint8_t mode,
                        std::uint32_t poly, std::uint32_t init, std::uint8_t swap_bytes);

}  // namespace kx
