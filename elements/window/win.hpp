// TKxWin: the base of every control element (button, edit, label, progress bar, image, lists).
#pragma once

#include <string>

#include "elements/window/hint_manager.hpp"
#include "elements/window/window_element.hpp"

namespace kx {

class TKxWin : public WindowElement {
 public:
  explicit TKxWin(WindowElement* parent) : WindowElement(parent) {}
  ~TKxWin() override;

  std::string Hint;  // tool-tip text; empty: none
  std::uint8_t ParentFont = 0;
  std::uint8_t Transparent = 0;  // kept; no control of this tool paints transparently
  std::uint8_t Flat = 0;         // 1: the flat look of a push button (style bit 0x8000)
  std::uint8_t KeyToParent = 1;  // the form attaches no key hook, so keys go to the control
  std::uint8_t EdgeStyle = 0;    // with Ctl3D 0: 1 none, 2 static, 3 dialog, 4 dialog + client
  EventLink onKeyChar;
  EventLink dataResizeWidth;  // consulted by a resize that the user makes (none here)
  EventLink dataResizeHeight;

  // Shows the control unless the data is Integer 0.
  void doVisible(TData& d, std::uint16_t index);

  // Tool-tip set-up: nothing without a manager and without a Hint; otherwise a registration
  // with the given manager (or the global one) carrying Hint.
  void set_hint_manager(TKxHintManager* manager);
  // A hint set later: the tool-tip shows the new text (the set-up above when the control has
  // no tool-tip yet).
  void set_Hint(std::string_view text);

  // Places and styles the control the derived class created and attaches the handler.
  void Init() override;

 protected:
  void handle_key(tk::Message& m) override;
  void mouse_entered() override;
  void mouse_left() override;
  void mouse_move(const tk::Message& m) override;

  tk::Window* parent_window() const { return parent_ != nullptr ? parent_->control() : nullptr; }
  // What every control of this kind is created with: its kind and the parent's window.
  tk::CreateOptions control_options(tk::Kind kind) const {
    tk::CreateOptions options;
    options.kind = kind;
    options.parent = parent_window();
    return options;
  }

  std::uint32_t option_bits_ = 0;  // bit 3: owner-drawn list items (never set in this tool)

 private:
  std::int32_t key_override_ = -1;
  TKxHintManager* hint_manager_ = nullptr;
  TKxHintManager::Registration* hint_ = nullptr;
};

}  // namespace kx
