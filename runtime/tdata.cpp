#include "runtime/tdata.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace kx {

namespace {

const char* const kKindNames[kKindCount] = {
    "NULL",   "Integer", "String", "Data",   "Combo",  "StrList", "Icon",    "Real",
    "Color",  "Script",  "Stream", "Bitmap", "Wave",   "Array",   "ComboEx", "Font",
    "Matrix", "Jpeg",    "Menu",   "Code",   "Object", "Type",    "Break"};

using FireFn = void (*)(const EventLink& link, TData& d);
using ReadFn = void (*)(const EventLink& pin, TData& d);

void fire_noop(const EventLink&, TData&) {}
void read_noop(const EventLink&, TData&) {}

// The firing loop: calls the link, then follows continuations at constant call depth.
void fire_loop(const EventLink& first, TData& d) {
  const EventLink* link = &first;
  while (link != nullptr && link->method != nullptr) {
    link->method(link->target, d, link->index);
    if ((d.kind & kContinue) == 0) return;
    d.kind = static_cast<std::uint8_t>(d.kind & ~kContinue);
    link = d.continuation;
  }
}

void read_live(const EventLink& pin, TData& d) {
  if (pin.method != nullptr) pin.method(pin.target, d, pin.index);
}

FireFn g_fire_entry = fire_noop;
ReadFn g_read_entry = read_noop;

struct StartupEntry {
  StartupHandler handler;
  void* object;
};
std::vector<StartupEntry> g_startup_list;
bool g_startup_done = false;
int g_pixels_per_inch = 0;

inline std::uint8_t base_kind(const TData& d) {
  return static_cast<std::uint8_t>(d.kind & ~kContinue);
}

// d becomes a copy of its next chain node, or NULL when there is none.
void advance(TData& d) {
  if (d.next != nullptr) {
    TData next = *d.next;
    d = std::move(next);
  } else {
    set_null(d);
  }
}

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

std::int32_t text_to_integer(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
    negative = s[i] == '-';
    ++i;
  }
  std::uint32_t value = 0;  // wraps modulo 2^32
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
    value = value * 10u + static_cast<std::uint32_t>(s[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

namespace {
double power_of_ten(std::int32_t exponent) {
  std::int64_t n = exponent < 0 ? -static_cast<std::int64_t>(exponent) : exponent;
  double result = 1.0;
  double base = 10.0;
  while (n != 0) {
    if (n & 1) result *= base;
    base *= base;
    n >>= 1;
  }
  return exponent < 0 ? 1.0 / result : result;
}
}  // namespace

double text_to_real(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (!s.empty() && s[0] == '-') {
    negative = true;
    i = 1;
  }
  double value = 0.0;
  double scale = 1.0;
  bool fraction = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      if (!fraction) {
        value = value * 10.0 + (c - '0');
      } else {
        scale *= 0.1;
        value += (c - '0') * scale;
      }
    } else if (c == '.') {
      if (fraction) break;
      fraction = true;
    } else if (c == 'E' || c == 'e') {
      // Zero stays zero: a huge exponent must not turn it into 0 times infinity.
      if (value != 0.0) value *= power_of_ten(text_to_integer(s.substr(i + 1)));
      break;
    }
  }
  return negative ? -value : value;
}

std::string integer_to_text(std::int32_t v) {
  return std::to_string(v);
}

std::string real_to_text(double v) {
  if (v == 0.0) return "0";
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  const bool negative = v < 0;
  long double x = std::fabs(static_cast<long double>(v));
  int e = 15;
  bool multiplied = false;
  while (x < 5e12L) {
    x *= 10;
    --e;
    multiplied = true;
  }
  if (!multiplied) {
    while (x >= 1e13L) {
      x /= 10;
      ++e;
    }
  }
  while (std::nearbyint(x) < 1e14L) {
    x *= 10;
    --e;
  }
  const auto digits = std::to_string(static_cast<unsigned long long>(std::nearbyint(x)));
  std::string text;
  if (e >= 15) {
    text = digits + std::string(static_cast<std::size_t>(e - 15), '0');
  } else {
    if (e >= 1) {
      text = digits.substr(0, static_cast<std::size_t>(e)) + "." +
             digits.substr(static_cast<std::size_t>(e));
    } else {
      text = "0." + std::string(static_cast<std::size_t>(-e), '0') + digits;
    }
    while (text.size() > 1 && text.back() == '0') text.pop_back();
    if (text.size() > 1 && text.back() == '.') text.pop_back();
  }
  return negative ? "-" + text : text;
}

std::int32_t real_to_integer(double v) {
  if (std::isnan(v)) return 0;
  double r = std::nearbyint(v);  // the default rounding mode: nearest, ties to even
  if (r >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(r);
}

void fire(const EventLink& link, TData& d) {
  g_fire_entry(link, d);
}

void fire_copy(const EventLink& link, const TData& d) {
  TData copy = d;
  g_fire_entry(link, copy);
}

void fire_integer(const EventLink& link, std::int32_t v) {
  TData d;
  set_integer(d, v);
  g_fire_entry(link, d);
}

void fire_string(const EventLink& link, std::string s) {
  TData d;
  set_string(d, std::move(s));
  g_fire_entry(link, d);
}

void fire_null(const EventLink& link) {
  TData d;
  g_fire_entry(link, d);
}

void continue_null(TData& d, const EventLink& link) {
  d.kind = kNull | kContinue;
  d.continuation = &link;
}

void continue_integer(TData& d, const EventLink& link, std::int32_t v) {
  d.kind = kInteger | kContinue;
  d.int_value = v;
  d.next = nullptr;
  d.continuation = &link;
}

void continue_string(TData& d, const EventLink& link, std::string s) {
  d.kind = kString | kContinue;
  d.str_value = std::move(s);
  d.next = nullptr;
  d.continuation = &link;
}

void continue_copy(TData& d, const EventLink& link, const TData& src) {
  if (&d != &src) d = src;
  d.kind = static_cast<std::uint8_t>(base_kind(d) | kContinue);
  d.continuation = &link;
}

std::int32_t read_integer(TData& d, const EventLink& pin, std::int32_t def) {
  if (pin.connected()) {
    TData tmp;
    g_read_entry(pin, tmp);
    if (base_kind(tmp) != kBreak) return to_integer(tmp);
  }
  if (def != 0) return def;
  if (base_kind(d) == kNull) return 0;
  std::int32_t v = to_integer(d);
  advance(d);
  return v;
}

std::string read_string(TData& d, const EventLink& pin, std::string_view def) {
  if (pin.connected()) {
    TData tmp;
    g_read_entry(pin, tmp);
    if (base_kind(tmp) != kBreak) return to_string(tmp);
  }
  if (!def.empty()) return std::string(def);
  if (base_kind(d) == kNull) return std::string();
  std::string v = to_string(d);
  advance(d);
  return v;
}

void read_value(TData& d, const EventLink& pin, const TData* def, TData& out) {
  if (pin.connected()) {
    set_null(out);
    g_read_entry(pin, out);
    if (base_kind(out) != kBreak) return;
  }
  if (def != nullptr && base_kind(*def) != kNull) {
    out = *def;
    return;
  }
  out = d;
  set_null(d);
}

void read_single_value(TData& d, const EventLink& pin, const TData* def, TData& out) {
  if (pin.connected()) {
    set_null(out);
    g_read_entry(pin, out);
    out.next = nullptr;
    if (base_kind(out) != kBreak) return;
  }
  if (def != nullptr && base_kind(*def) != kNull) {
    out = *def;
    out.next = nullptr;
    return;
  }
  out = d;
  out.next = nullptr;
  if (base_kind(d) == kNull) d.next = nullptr;
  advance(d);
}

void take_first_value(TData& d, TData& out) {
  read_single_value(d, unconnected_link(), nullptr, out);
}

void read_into(TData& d, const EventLink& pin) {
  if (pin.connected()) {
    g_read_entry(pin, d);
  } else {
    d.kind = kBreak;
  }
}

std::int32_t read_pin_integer(const EventLink& pin) {
  TData tmp;
  g_read_entry(pin, tmp);
  return to_integer(tmp);
}

MemoryStream* read_pin_stream(const EventLink& pin) {
  TData tmp;
  g_read_entry(pin, tmp);
  return to_stream(tmp);
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

void enable_pins() {
  g_fire_entry = fire_loop;
  g_read_entry = read_live;
}

void disable_pins() {
  g_fire_entry = fire_noop;
  g_read_entry = read_noop;
}

bool pins_enabled() {
  return g_fire_entry == fire_loop;
}

void register_startup(StartupHandler handler, void* object) {
  g_startup_list.push_back({handler, object});
}

void run_startup_list() {
  // The length is read afresh before each call: handlers may register more.
  for (std::size_t i = 0; i < g_startup_list.size(); ++i) {
    StartupEntry entry = g_startup_list[i];
    entry.handler(entry.object);
  }
  g_startup_list.clear();
  g_startup_done = true;
}

bool startup_done() {
  return g_startup_done;
}
void set_startup_done(bool value) {
  g_startup_done = value;
}

TData& shared_null() {
  static TData record;
  set_null(record);
  return record;
}

const EventLink& unconnected_link() {
  static const EventLink link;
  return link;
}

std::int32_t call_hook(const Hook& hook, std::intptr_t a, std::intptr_t b) {
  return hook.method != nullptr ? hook.method(hook.object, a, b) : 0;
}

int compare_text_nocase(std::string_view a, std::string_view b) {
  const auto folded = [](char c) {
    const int x = static_cast<unsigned char>(c);
    return x >= 'a' && x <= 'z' ? x - 32 : x;
  };
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int x = folded(a[i]);
    const int y = folded(b[i]);
    if (x != y) return x - y;
  }
  // The end of the shorter text compares as a 0 byte; texts hold NUL bytes too, so a text that
  // goes on with a 0 byte still sorts after its prefix.
  if (a.size() < b.size()) {
    const int y = folded(b[n]);
    return y != 0 ? -y : -1;
  }
  if (a.size() > b.size()) {
    const int x = folded(a[n]);
    return x != 0 ? x : 1;
  }
  return 0;
}

std::size_t find_from(std::string_view sub, std::string_view text, std::size_t start) {
  if (sub.empty() || start == 0 || start > text.size()) return 0;
  std::size_t at = text.find(sub, start - 1);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::string replace_all(std::string text, std::string_view old_text, std::string_view new_text) {
  return replace_all(std::move(text), old_text, new_text,
                     [](const std::string&, std::size_t) { return true; });
}

void set_font(TFontRec& f, std::string_view face, std::uint8_t points, std::uint8_t style,
              std::uint32_t color, std::uint8_t charset) {
  f.face = std::string(face.substr(0, 31));
  f.points = points;
  f.style_bits = style;
  f.color = color;
  f.charset = charset;
}

int points_to_height(int points) {
  if (g_pixels_per_inch == 0) g_pixels_per_inch = screen_pixels_per_inch();
  return (points * g_pixels_per_inch + 36) / -72;
}

}  // namespace kx
