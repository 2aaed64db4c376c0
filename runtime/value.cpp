#include "runtime/value.hpp"

#include "runtime/conversions.hpp"

#include <utility>

namespace kx {

namespace {

const char* const kKindNames[kKindCount] = {
    "NULL",   "Integer", "String", "Data",   "Combo",  "StrList", "Icon",    "Real",
    "Color",  "Script",  "Stream", "Bitmap", "Wave",   "Array",   "ComboEx", "Font",
    "Matrix", "Jpeg",    "Menu",   "Code",   "Object", "Type",    "Break"};

}  // namespace

const char* kind_name(std::uint8_t code) {
  return code < kKindCount ? kKindNames[code] : "";
}

void set_null(TData& d) {
  d.kind = kNull;
  d.continuation = nullptr;
  d.next = nullptr;
}

void set_integer(TData& d, std::int32_t v) {
  d.kind = kInteger;
  d.int_value = v;
  d.continuation = nullptr;
  d.next = nullptr;
}

void set_string(TData& d, std::string s) {
  d.kind = kString;
  d.str_value = std::move(s);
  d.continuation = nullptr;
  d.next = nullptr;
}

void set_stream(TData& d, MemoryStream* stream) {
  d.kind = kStream;
  d.stream_value = stream;
  d.continuation = nullptr;
  d.next = nullptr;
}

bool is_true(const TData& d) {
  return !(base_kind(d) == kInteger && d.int_value == 0);
}

std::int32_t to_integer(const TData& d) {
  switch (base_kind(d)) {
    case kInteger:
      return d.int_value;
    case kString:
      return text_to_integer(d.str_value);
    case kReal:
      return real_to_integer(d.real_value);
    default:
      return 0;
  }
}

std::int32_t to_integer_or_minus_one(const TData& d) {
  switch (base_kind(d)) {
    case kInteger:
      return d.int_value;
    case kString: {
      if (d.str_value.empty()) return -1;
      std::int32_t v = text_to_integer(d.str_value);
      if (v == 0 && d.str_value[0] != '0') return -1;
      return v;
    }
    case kReal:
      return real_to_integer(d.real_value);
    default:
      return -1;
  }
}

std::string to_string(const TData& d) {
  switch (base_kind(d)) {
    case kInteger:
      return integer_to_text(d.int_value);
    case kString:
      return d.str_value;
    case kReal:
      return real_to_text(d.real_value);
    default:
      return std::string();
  }
}

double to_real(const TData& d) {
  switch (base_kind(d)) {
    case kInteger:
      return static_cast<double>(d.int_value);
    case kString:
      return text_to_real(d.str_value);
    case kReal:
      return d.real_value;
    default:
      return 0.0;
  }
}

MemoryStream* to_stream(const TData& d) {
  return base_kind(d) == kStream ? d.stream_value : nullptr;
}

void copy_chain(TData& dst, const TData& src) {
  dst = src;
  TData* last = &dst;
  while (base_kind(*last) != kNull && last->next != nullptr) {
    TData* node = new TData(*last->next);
    last->next = node;
    last = node;
  }
  last->next = nullptr;
}

void free_chain(TData& d) {
  TData* node = d.next;
  d.next = nullptr;
  while (node != nullptr) {
    TData* following = node->next;
    delete node;
    node = following;
  }
}

TData& shared_null() {
  static TData record;
  set_null(record);
  return record;
}

}  // namespace kx
