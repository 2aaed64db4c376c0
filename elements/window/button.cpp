#include "elements/window/button.hpp"

namespace kx {

void TKxButton::Init() {
  tk::CreateOptions options = control_options(tk::Kind::Button);
  options.text = Caption;
  options.default_button = DefaultButton != 0;
  control_ = tk::create_window(options);
  TKxWin::Init();
}

void TKxButton::handle_message(tk::Message& m) {
  if (m.id == tk::Msg::Click) fire_copy(onClick, ClickData);
  TKxWin::handle_message(m);
}

}  // namespace kx
