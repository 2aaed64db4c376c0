// A form on the headless toolkit with controls on it, and a sink that records what arrives.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "elements/window/simple_form.hpp"
#include "runtime/tdata.hpp"
#include "toolkit/headless/test_api.hpp"

namespace kx::testing {

// Records every value that reaches doEvent, with the first chained value.
struct Sink {
  struct Got {
    std::uint8_t kind = kNull;
    std::int32_t integer = 0;
    std::string text;
    bool chained = false;
    std::uint8_t next_kind = kNull;
    std::int32_t next_integer = 0;
  };
  std::vector<Got> got;

  void doEvent(TData& d, std::uint16_t) {
    Got g;
    g.kind = static_cast<std::uint8_t>(d.kind & ~kContinue);
    g.integer = d.int_value;
    g.text = d.str_value;
    if (d.next != nullptr) {
      g.chained = true;
      g.next_kind = d.next->kind;
      g.next_integer = d.next->int_value;
    }
    got.push_back(g);
  }
  EventLink link() { return make_link<&Sink::doEvent>(0, this); }
};

// A readable value for data inputs.
struct Source {
  TData value;
  void getValue(TData& d, std::uint16_t) { d = value; }
  EventLink link() { return make_link<&Source::getValue>(0, this); }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::reset();
    disable_pins();
    set_startup_done(false);
    form = std::make_unique<TKxSimpleForm>();
    form->Left = 200;
    form->Top = 200;
    form->Width = 503;
    form->Height = 162;
    form->Color = tk::system_color(15);
    form->set_border_style(1);
  }

  void TearDown() override {
    if (!started) form->Start();  // empties the start-up list before the form goes
    while (!controls.empty()) controls.pop_back();
    form.reset();
    headless::reset();
    disable_pins();
  }

  // A control on the form, destroyed (in reverse order) before the form.
  template <class T>
  T& add() {
    auto element = std::make_unique<T>(form.get());
    T& ref = *element;
    controls.push_back(std::move(element));
    return ref;
  }

  void start() {
    form->Init();
    form->Start();
    started = true;
  }

  std::unique_ptr<TKxSimpleForm> form;
  std::vector<std::unique_ptr<WindowElement>> controls;
  bool started = false;
};

}  // namespace kx::testing
