// Values: the record every pin passes, its kinds, its constructors and readers, and chains.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/link.hpp"

namespace kx {

class MemoryStream;

// Type codes (bits 0-6 of `kind`); bit 7 is the continuation flag.
enum : std::uint8_t {
  kNull = 0,
  kInteger = 1,
  kString = 2,
  kReal = 7,
  kStream = 10,
  kBreak = 22,
  kKindCount = 23,
  kContinue = 0x80,
};

const char* kind_name(std::uint8_t code);  // "NULL", "Integer", ... ; "" beyond the table

struct TData {
  std::uint8_t kind = kNull;
  std::int32_t int_value = 0;
  std::string str_value;
  double real_value = 0.0;
  const EventLink* continuation = nullptr;
  TData* next = nullptr;
  // A Stream's reference (the element that made it owns the stream); int_value stays 32 bits.
  MemoryStream* stream_value = nullptr;
};

// The kind without the continuation flag.
inline std::uint8_t base_kind(const TData& d) {
  return static_cast<std::uint8_t>(d.kind & ~kContinue);
}

// Value constructors: overwrite in place, clear continuation and chain.
void set_null(TData& d);
void set_integer(TData& d, std::int32_t v);
void set_string(TData& d, std::string s);
void set_stream(TData& d, MemoryStream* stream);

// Readers (pure).
inline std::uint8_t kind_of(const TData& d) {
  return d.kind;
}
inline bool is_integer(const TData& d) {
  return d.kind == kInteger;
}
bool is_true(const TData& d);
std::int32_t to_integer(const TData& d);
std::int32_t to_integer_or_minus_one(const TData& d);
std::string to_string(const TData& d);
double to_real(const TData& d);
MemoryStream* to_stream(const TData& d);

// Value chains.
void copy_chain(TData& dst, const TData& src);
void free_chain(TData& d);

// A NULL record elements may pass.
TData& shared_null();

}  // namespace kx
