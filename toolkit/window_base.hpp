// What every toolkit keeps of a window whatever the platform: its number, kind, parent (of
// the platform's own window class W), handler, alignment, font, tab stop and the construction
// options both act on. The platform's window class and its own code read and write it.
#pragma once

#include <cstdint>
#include <utility>

#include "runtime/platform_services.hpp"
#include "toolkit/loop_state.hpp"
#include "toolkit/toolkit.hpp"

namespace kx::tk {

template <class W>
class WindowBase : public Window {
 public:
  Kind kind() const override { return kind_; }
  Window* parent() const override { return parent_; }
  Handler set_handler(Handler handler) override {
    Handler previous = std::move(handler_);
    handler_ = std::move(handler);
    return previous;
  }
  // Form: Tab and Shift+Tab move the focus (the platform decides how).
  void enable_tab_navigation() override { tab_navigation_ = true; }
  // A form told that the session ends (EndSession, non-zero wparam): the loop is over at once and
  // the application window is freed. True when the caller must now end the process.
  bool session_ends(const Message& m) {
    if (kind_ != Kind::Form || m.wparam == 0) return false;
    loop_state().end_now();
    free_application_window();
    return true;
  }

  std::uint64_t id = 0;
  Kind kind_;
  W* parent_ = nullptr;
  Handler handler_;
  int align_ = 0;
  Font font_ = default_font();
  int tab_order_ = 0;
  bool tab_navigation_ = false;
  bool default_button_ = false;
  bool read_only_ = false;

 protected:
  explicit WindowBase(const CreateOptions& options)
      : kind_(options.kind),
        parent_(static_cast<W*>(options.parent)),
        default_button_(options.default_button),
        read_only_(options.read_only) {}

 private:
  // The font a window has until it is given one.
  static Font default_font() {
    Font f;
    f.face = "MS Sans Serif";
    f.height = points_to_height(8);
    f.charset = 1;
    return f;
  }
};

}  // namespace kx::tk
