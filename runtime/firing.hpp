// Firing outputs, continuing, reading data inputs, and the pins' global switch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/value.hpp"

namespace kx {

// Firing (a no-op while the pins are silent).
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

// Reading data inputs.
std::int32_t read_integer(TData& d, const EventLink& pin, std::int32_t def);
std::string read_string(TData& d, const EventLink& pin, std::string_view def);
void read_value(TData& d, const EventLink& pin, const TData* def, TData& out);
void read_single_value(TData& d, const EventLink& pin, const TData* def, TData& out);
void take_first_value(TData& d, TData& out);
void read_into(TData& d, const EventLink& pin);
std::int32_t read_pin_integer(const EventLink& pin);
MemoryStream* read_pin_stream(const EventLink& pin);

// The pins' global switch: silent until the program has built its elements, and again while it
// tears them down.
void enable_pins();
void disable_pins();
bool pins_enabled();

}  // namespace kx
