// TKxSimpleForm: the main window. It starts the whole scheme (Start), fires onCreate before it
// shows itself, and runs the close protocol (dataCancelClose, onClose, doClose).
#pragma once

#include <string_view>

#include "elements/window/simple_win.hpp"

namespace kx {

class TKxSimpleForm : public TKxSimpleWin {
 public:
  // Creates the application window when there is none, and the hidden form window captioned
  // "Form" owned by it; registers the start handler.
  TKxSimpleForm();

  std::uint8_t DragByClient = 0;  // 1: a press anywhere in the client area moves the window
  EventLink dataCancelClose;      // read when the user closes the window: non-zero refuses
  EventLink onCreate;             // once, at start, before the form is shown
  EventLink onClose;              // when a close is accepted

  void set_caption(std::string_view text);
  // 0 to 9 (see the table in the source); 10 and above: nothing.
  void set_border_style(int index);
  // 1: the application window becomes a tool window with a modal frame; others: nothing.
  void set_taskbar_mode(int mode);
  void set_icon(std::string_view resource_name);

  // Called once by the program entry: the application window takes Visible, the pins come
  // alive and the start-up list runs (the form's own handler first).
  void Start();
  // Closes the form without asking dataCancelClose.
  void doClose(TData& d, std::uint16_t index);

  // The base Init with Visible treated as 0: the form stays hidden until it starts.
  void Init() override;

  bool shown_once() const { return shown_once_; }

 protected:
  void handle_message(tk::Message& m) override;
  void mouse_down(const tk::Message& m) override;
  void shown() override;

 private:
  static void start_handler(void* self);
  bool shown_once_ = false;
};

}  // namespace kx
