// Test helpers: an event receiver that records what reaches it, and a fixed data source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/tdata.hpp"

namespace kx::testing_flow {

// Records "Kind:text" for every event; may overwrite its record, as a careless receiver would.
struct Recorder {
  std::vector<std::string> seen{};
  std::vector<const TData*> chains{};           // the `next` of each record as it arrived
  std::vector<std::string>* journal = nullptr;  // shared log, to check the order across receivers
  std::string name{};
  bool overwrite = false;

  void doEvent(TData& d, std::uint16_t) {
    std::string entry = std::string(kind_name(kind_of(d))) + ":" + to_string(d);
    seen.push_back(entry);
    chains.push_back(d.next);
    if (journal != nullptr) journal->push_back(name + "=" + entry);
    if (overwrite) set_string(d, "overwritten by " + name);
  }
  EventLink link() { return make_link<&Recorder::doEvent>(0, this); }
};

// A data input's source answering a fixed record (Break included).
struct Answer {
  TData value;
  int reads = 0;
  void get(TData& d, std::uint16_t) {
    ++reads;
    d = value;
  }
  EventLink link() { return make_link<&Answer::get>(0, this); }
};

inline TData integer(std::int32_t v) {
  TData d;
  set_integer(d, v);
  return d;
}

inline TData text(std::string s) {
  TData d;
  set_string(d, std::move(s));
  return d;
}

inline TData brk() {
  TData d;
  d.kind = kBreak;
  return d;
}

// Switches the pins on for the length of a test.
class LivePins : public ::testing::Test {
 protected:
  void SetUp() override { enable_pins(); }
  void TearDown() override { disable_pins(); }
};

}  // namespace kx::testing_flow
