#include "elements/window/simple_form.hpp"

namespace kx {

TKxSimpleForm::TKxSimpleForm() : TKxSimpleWin(nullptr) {
  if (tk::application_window() == nullptr) tk::create_application_window();
  tk::CreateOptions options;
  options.kind = tk::Kind::Form;
  options.text = "Form";
  control_ = tk::create_window(options);
  control_->set_visible(false);
  register_startup(&TKxSimpleForm::start_handler, this);
}

void TKxSimpleForm::set_caption(std::string_view text) {
  control_->set_text(text);
  if (tk::Window* app = tk::application_window()) app->set_text(text);
}

// The border styles are the frames in their order.
void TKxSimpleForm::set_border_style(int index) {
  if (index < 0 || index >= tk::kFrameCount) return;
  control_->set_frame(static_cast<tk::Frame>(index));
}

void TKxSimpleForm::set_taskbar_mode(int mode) {
  if (mode != 1) return;
  if (tk::Window* app = tk::application_window()) app->hide_from_taskbar();
}

void TKxSimpleForm::set_icon(std::string_view resource_name) {
  if (tk::Window* app = tk::application_window()) app->set_icon(resource_name);
  control_->set_icon(resource_name);
}

void TKxSimpleForm::Init() {
  const std::uint8_t visible = Visible;
  Visible = 0;
  TKxSimpleWin::Init();
  Visible = visible;
}

void TKxSimpleForm::Start() {
  if (tk::Window* app = tk::application_window()) app->set_visible(Visible != 0);
  enable_pins();
  run_startup_list();
}

void TKxSimpleForm::start_handler(void* self) {
  auto* form = static_cast<TKxSimpleForm*>(self);
  fire_null(form->onCreate);
  form->control_->set_visible(form->Visible != 0);
}

void TKxSimpleForm::doClose(TData&, std::uint16_t) {
  tk::Message m{tk::Msg::Close};
  m.lparam = 1;
  control_->send(m);
}

void TKxSimpleForm::handle_message(tk::Message& m) {
  tk::Window* app = tk::application_window();
  switch (m.id) {
    case tk::Msg::Move:
      if (app != nullptr) app->set_position(control_->rect().left, control_->rect().top);
      break;
    case tk::Msg::Size:
      if (app != nullptr) app->set_size(control_->rect().width, app->rect().height);
      break;
    case tk::Msg::Close:
      // The user's close box asks dataCancelClose first; doClose is not questioned.
      if (m.lparam == 0 && read_pin_integer(dataCancelClose) != 0) {
        m.handled = true;
        return;
      }
      fire_null(onClose);
      disable_pins();
      break;
    default:
      break;
  }
  TKxSimpleWin::handle_message(m);
}

void TKxSimpleForm::mouse_down(const tk::Message& m) {
  if (DragByClient == 1) {
    control_->set_mouse_capture(false);
    control_->begin_drag_move();
  }
  TKxSimpleWin::mouse_down(m);
}

void TKxSimpleForm::shown() {
  shown_once_ = true;
  TKxSimpleWin::shown();
}

}  // namespace kx
