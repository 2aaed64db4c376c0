// What the two window element bases share: the placement and look properties, the mouse,
// focus, size and show events, the message handler installed on the control, and ownership
// of the toolkit window.
#pragma once

#include <cstdint>
#include <memory>

#include "elements/window/font_rec.hpp"
#include "runtime/pinned.hpp"
#include "runtime/tdata.hpp"
#include "toolkit/toolkit.hpp"

namespace kx {

// The toolkit font for a font record: the point size becomes a character height.
tk::Font window_font(const TFontRec& font);

class WindowElement : Pinned {
 public:
  explicit WindowElement(WindowElement* parent);
  virtual ~WindowElement();

  EventLink onKeyDown;
  EventLink onKeyUp;
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  // Where the control keeps itself in its parent.
  enum : std::uint8_t {
    kAlignNone,
    kAlignLeft,
    kAlignTop,
    kAlignRight,
    kAlignBottom,
    kAlignClient
  };
  std::uint8_t Align = kAlignNone;
  std::int32_t TabOrder = 0;
  std::uint32_t Color = 0;  // default: the parent's colour
  std::uint8_t Ctl3D = 2;   // 0 3D look, 1 flat look, 2 as the toolkit made the control
  TFontRec Font;
  std::uint8_t Visible = 1;
  std::uint8_t Enabled = 1;
  void* Cursor = nullptr;  // the default cursor (no element of this tool sets one)
  std::uint8_t MouseCapture = 0;
  EventLink onMouseDown;
  EventLink onMouseMove;
  EventLink onMouseUp;
  EventLink onMouseWheel;
  EventLink onSetFocus;
  EventLink onKillFocus;
  EventLink onDblClick;
  EventLink onResize;
  EventLink onShow;
  EventLink onMove;
  EventLink onMouseEnter;
  EventLink onMouseLeave;

  // Enables the window unless the data is Integer 0.
  void doEnabled(TData& d, std::uint16_t index);

  virtual void Init() = 0;
  // A layout manager arranges the window; this tool attaches none (nullptr: nothing).
  void set_layout_manager(void* manager) { layout_manager_ = manager; }

  tk::Window* control() const { return control_.get(); }
  // Set once the toolkit destroyed the system window itself (its owner went away).
  bool destroying() const { return destroying_; }

 protected:
  // The operations a class may override, in the order the handler reaches them.
  virtual void key_down(std::int32_t& key);
  virtual void key_up(std::int32_t& key);
  virtual void mouse_down(const tk::Message& m);
  virtual void mouse_move(const tk::Message& m);
  virtual void mouse_entered();
  virtual void mouse_left();
  virtual void mouse_up(const tk::Message& m);
  virtual void mouse_wheel(const tk::Message& m);
  // Every message of the window, before the previous handler; an override handles its own
  // messages and then calls the base (unless it consumed the message).
  virtual void handle_message(tk::Message& m);
  virtual void being_destroyed();
  virtual void resized();
  virtual void shown();
  // Keys: a form attaches no key handling; a control does (TKxWin).
  virtual void handle_key(tk::Message& m);

  // Applies colour, placement and look, then enabled state and tab order.
  void apply_common();
  // Installs the element's handler on the control, keeping the previous one.
  void install_handler();

  WindowElement* parent_;
  tk::Handler previous_handler_;
  void* layout_manager_ = nullptr;
  std::unique_ptr<tk::Window> control_;
  bool destroying_ = false;

 private:
  void on_message(tk::Message& m);
  // The button held at the last mouse message: 0 left, 1 right, 2 middle, 255 none/several.
  std::int32_t last_mouse_button_ = 255;
};

}  // namespace kx
