// The windows of a toolkit: every window object in existence with its number, the application
// window and the main form. Each toolkit's state holds one for its own window class.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

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
  // The window of that number while its system window lives; nullptr otherwise.
  W* find_live(std::uint64_t id) const {
    for (W* w : windows)
      if (w->id == id) return w->alive() ? w : nullptr;
    return nullptr;
  }
};

}  // namespace kx::tk
