// Small test fixtures for element pins: live pins, a recording receiver and a value source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/tdata.hpp"

namespace kx::testing_text {

// Pins are live for the length of each test.
class LivePins : public ::testing::Test {
 protected:
  void SetUp() override { enable_pins(); }
  void TearDown() override { disable_pins(); }
};

// Records every value it receives.
struct Sink {
  std::vector<TData> got;
  void doEvent(TData& d, std::uint16_t) {
    TData copy;
    copy.kind = static_cast<std::uint8_t>(d.kind & ~kContinue);
    copy.int_value = d.int_value;
    copy.str_value = d.str_value;
    copy.stream_value = d.stream_value;
    got.push_back(copy);
  }
  EventLink link() { return make_link<&Sink::doEvent>(0, this); }
  std::string last_text() const { return got.empty() ? "<none>" : got.back().str_value; }
};

// Answers a read with a fixed text.
struct Source {
  std::string value;
  void get(TData& d, std::uint16_t) { set_string(d, value); }
  EventLink link() { return make_link<&Source::get>(0, this); }
};

inline TData text(std::string s) {
  TData d;
  set_string(d, std::move(s));
  return d;
}

inline TData integer(std::int32_t v) {
  TData d;
  set_integer(d, v);
  return d;
}

}  // namespace kx::testing_text
