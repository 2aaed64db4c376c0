// Values, links, firing and reading: the element runtime every element stands on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

class MemoryStream;
struct TData;

// One method shared by many links that differ only in `index`: a plain function pointer
// generated per member function, so calling a link needs no virtual call and no allocation.
using PinFn = void (*)(void* target, TData& d, std::uint16_t index);

struct EventLink {
  PinFn method = nullptr;
  void* target = nullptr;
  std::uint16_t index = 0;

  bool connected() const { return method != nullptr; }
};

template <auto Method, class T>
EventLink make_link(std::uint16_t index, T* target) {
  return {[](void* t, TData& d, std::uint16_t i) { (static_cast<T*>(t)->*Method)(d, i); },
          static_cast<void*>(target), index};
}

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

// Conversions behind the readers.
std::int32_t text_to_integer(std::string_view s);
double text_to_real(std::string_view s);
std::string integer_to_text(std::int32_t v);
std::string real_to_text(double v);
std::int32_t real_to_integer(double v);  // nearest, ties to even; saturates beyond 32 bits

// Firing (through fire_entry; a no-op while the pins are silent).
void fire(const EventLink& link, TData& d);
void fire_copy(const EventLink& link, const TData& d);
void fire_integer(const EventLink& link, std::int32_t v);
void fire_string(const EventLink& link, std::string s);
void fire_null(const EventLink& link);

// Continuations: the last act of an input method, in place of firing its own output.
void continue_null(TData& d, const EventLink& link);
void continue_integer(TData& d, const EventLink& link, std::int32_t v);
void continue_string(TData& d, const EventLink& link, std::string s);
void continue_copy(TData& d, const EventLink& link, const TData& src);

// Reading data inputs (through read_entry).
std::int32_t read_integer(TData& d, const EventLink& pin, std::int32_t def);
std::string read_string(TData& d, const EventLink& pin, std::string_view def);
void read_value(TData& d, const EventLink& pin, const TData* def, TData& out);
void read_single_value(TData& d, const EventLink& pin, const TData* def, TData& out);
void take_first_value(TData& d, TData& out);
void read_into(TData& d, const EventLink& pin);
std::int32_t read_pin_integer(const EventLink& pin);
MemoryStream* read_pin_stream(const EventLink& pin);

// Value chains.
void copy_chain(TData& dst, const TData& src);
void free_chain(TData& d);

// Runtime control: the pins' global switch and the start-up list.
void enable_pins();
void disable_pins();
bool pins_enabled();

using StartupHandler = void (*)(void* object);
void register_startup(StartupHandler handler, void* object);
void run_startup_list();
bool startup_done();
void set_startup_done(bool value);

// Shared records: a NULL record elements may pass, and a link that is never connected.
TData& shared_null();
const EventLink& unconnected_link();

// An optional {method, object} hook with two arguments.
struct Hook {
  std::int32_t (*method)(void* object, std::intptr_t a, std::intptr_t b) = nullptr;
  void* object = nullptr;
};
std::int32_t call_hook(const Hook& hook, std::intptr_t a, std::intptr_t b);

// Text routines.
int compare_text_nocase(std::string_view a, std::string_view b);
std::size_t find_from(std::string_view sub, std::string_view text, std::size_t start);
template <class Accept>
std::string replace_all(std::string text, std::string_view old_text, std::string_view new_text,
                        Accept accept);
std::string replace_all(std::string text, std::string_view old_text, std::string_view new_text);

// Window-element font record.
struct TFontRec {
  std::string face;
  std::uint8_t points = 8;
  std::uint8_t style_bits = 0;  // 1 bold, 2 italic, 4 underline, 8 strike-out
  std::uint32_t color = 0;
  std::uint8_t charset = 1;
};
void set_font(TFontRec& f, std::string_view face, std::uint8_t points, std::uint8_t style,
              std::uint32_t color, std::uint8_t charset);
int points_to_height(int points);

// Provided by the toolkit (link-time seam): screen resolution and the debug message box.
int screen_pixels_per_inch();
void debug_message(const std::string& text);

// The accepting variant of replace_all: accept(text, position) is asked with the text as it
// came in and the 1-based position of each occurrence in it; a refused one is skipped by one
// character. Replaced text is never searched again. The result is built in one pass, so the
// time is linear in the sizes whatever the number of occurrences.
template <class Accept>
std::string replace_all(std::string text, std::string_view old_text, std::string_view new_text,
                        Accept accept) {
  if (old_text.empty()) return text;
  std::string out;
  std::size_t copied = 0;  // text before this is in out already
  std::size_t pos = 0;
  while (pos + old_text.size() <= text.size()) {
    const std::size_t at = text.find(old_text, pos);
    if (at == std::string::npos) break;
    if (accept(static_cast<const std::string&>(text), at + 1)) {
      if (out.empty()) out.reserve(text.size());
      out.append(text, copied, at - copied);
      out.append(new_text);
      copied = at + old_text.size();
      pos = copied;
    } else {
      pos = at + 1;
    }
  }
  if (copied == 0) return text;
  out.append(text, copied, std::string::npos);
  return out;
}

}  // namespace kx
