// The windows of a toolkit: every window object in existence with its number, the application
// window and the main form. Each toolkit's state holds one for its own window class.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/toolkit.hpp"

namespace kx::tk {

template <class W>
struct WindowRegistry {
  std::vector<W*> windows;  // in creation order
  std::uint64_t next_id = 1;
  std::unique_ptr<W> application;
  W* main_form = nullptr;  // the first form made, while it lives

  void add(W& w) {
    w.id = next_id++;
    windows.push_back(&w);
  }
  void remove(W& w) {
    if (main_form == &w) main_form = nullptr;
    std::erase(windows, &w);
  }
  // The hidden application window, made once.
  W& make_application() {
    if (!application) {
      CreateOptions options;
      options.kind = Kind::Application;
      application = W::create(options);
    }
    return *application;
  }
  // An accepted close of a form: the main form's is the end of the application. The
  // application window gets the close too, then the loop is told to quit.
  void form_closed(W& form) {
    if (main_form != &form) return;
    if (application) {
      Message close{Msg::Close};
      application->send(close);
    }
    quit();
  }
  // The window of that number while its system window lives; nullptr otherwise.
  W* find_live(std::uint64_t id) const {
    for (W* w : windows)
      if (w->id == id) return w->alive() ? w : nullptr;
    return nullptr;
  }
};

}  // namespace kx::tk
