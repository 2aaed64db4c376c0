// TKxLabel: static text that may size itself to its text and change colour under the mouse.
#pragma once

#include <string>

#include "elements/window/win.hpp"

namespace kx {

class TKxLabel : public TKxWin {
 public:
  // Creates the static control at once (empty, left-aligned, no word wrap).
  explicit TKxLabel(WindowElement* parent);

  EventLink onClick;
  std::uint32_t HoverColor = 0;     // text colour under the mouse; 0: unchanged
  std::uint8_t HoverUnderline = 0;  // 1: underlined under the mouse
  std::string Caption;
  std::uint8_t AutoSize = 0;   // set by set_auto_size
  std::uint8_t Alignment = 0;  // set by set_alignment

  // 0 left, 1 right, 2 centre; long lines wrap from now on.
  void set_alignment(std::uint8_t alignment);
  // On: the label takes the size of its text (now and after every change of the text).
  void set_auto_size(std::uint8_t on);
  // Changes the text (and the size, when auto-sizing).
  void set_caption(std::string text);

  void Init() override;

 protected:
  void handle_message(tk::Message& m) override;
  void mouse_entered() override;
  void mouse_left() override;

 private:
  void fit_to_text();
  void apply_hover(bool over);
};

}  // namespace kx
