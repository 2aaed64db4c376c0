#include "runtime/firing.hpp"

#include <utility>

namespace kx {

namespace {

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

}  // namespace kx
