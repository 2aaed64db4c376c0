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

class TKxCRC16_32 {
 public:
  // Non-zero: the text holds hexadecimal digit pairs, one byte each; exactly 1: blanks and
  // "$" signs are removed first.
  std::uint8_t HexText = 0;
  // 0: reflected 16 bits; 1: as 0, bytes exchanged at the end; 2: as 0, inverted and
  // exchanged at the end; 3: most significant bit first, 16 bits; 4: reflected 32 bits,
  // inverted at the end. Other values leave the register at its initial value.
  std::uint8_t Mode = 0;
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
// (kind, polynomial), so any number of threads may compute at the same time; modes 0, 1, 2
// and 4 share the reflected table, other modes get a table of zeros.
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
