#include "elements/window/window_element.hpp"

namespace kx {

tk::Font window_font(const TFontRec& font) {
  tk::Font f;
  f.face = font.face;
  f.height = points_to_height(font.points);
  f.style_bits = font.style_bits;
  f.color = font.color;
  f.charset = font.charset;
  return f;
}

WindowElement::WindowElement(WindowElement* parent) : parent_(parent) {
  if (parent_ != nullptr) Color = parent_->Color;
}

WindowElement::~WindowElement() {
  if (!control_) return;
  control_->set_handler(std::move(previous_handler_));
  if (!destroying_) control_->set_visible(false);
  control_.reset();
}

void WindowElement::doEnabled(TData& d, std::uint16_t) {
  if (control_) control_->set_enabled(is_true(d));
}

void WindowElement::apply_common() {
  control_->set_color(Color);
  control_->set_position(Left, Top);
  control_->set_size(Width, Height);
  if (Ctl3D <= 1) control_->set_look(Ctl3D);
  control_->set_enabled(Enabled != 0);
}

void WindowElement::install_handler() {
  previous_handler_ = control_->set_handler([this](tk::Message& m) { on_message(m); });
}

void WindowElement::on_message(tk::Message& m) {
  handle_message(m);
  if (!m.handled && previous_handler_) previous_handler_(m);
}

namespace {
// The one button that a mouse-move message reports as held.
std::int32_t held_button(std::int32_t flags) {
  switch (flags & (1 | 2 | 16)) {
    case 1:
      return 0;
    case 2:
      return 1;
    case 16:
      return 2;
    default:
      return 255;
  }
}
}  // namespace

void WindowElement::handle_message(tk::Message& m) {
  switch (m.id) {
    case tk::Msg::Move:
      fire_null(onMove);
      break;
    case tk::Msg::SetFocus:
      fire_null(onSetFocus);
      break;
    case tk::Msg::KillFocus:
      fire_null(onKillFocus);
      break;
    case tk::Msg::Size:
      resized();
      break;
    case tk::Msg::Show:
      if (m.wparam != 0) shown();
      break;
    case tk::Msg::MouseDown:
      mouse_entered();
      mouse_down(m);
      last_mouse_button_ = m.wparam;
      break;
    case tk::Msg::MouseUp:
      mouse_entered();
      mouse_up(m);
      last_mouse_button_ = 255;
      break;
    case tk::Msg::MouseMove:
      mouse_entered();
      mouse_move(m);
      last_mouse_button_ = held_button(m.wparam);
      break;
    case tk::Msg::MouseWheel:
      mouse_entered();
      mouse_wheel(m);
      break;
    case tk::Msg::DblClick:
      mouse_entered();
      fire_integer(onDblClick, m.wparam);
      break;
    case tk::Msg::MouseHover:
      mouse_entered();
      break;
    case tk::Msg::MouseLeave:
      mouse_left();
      break;
    case tk::Msg::KeyDown:
    case tk::Msg::KeyUp:
    case tk::Msg::Char:
      handle_key(m);
      break;
    case tk::Msg::Destroy:
      being_destroyed();
      break;
    default:
      break;
  }
}

void WindowElement::key_down(std::int32_t& key) {
  fire_integer(onKeyDown, key);
}
void WindowElement::key_up(std::int32_t& key) {
  fire_integer(onKeyUp, key);
}
void WindowElement::handle_key(tk::Message&) {}

void WindowElement::mouse_down(const tk::Message& m) {
  fire_integer(onMouseDown, m.wparam);
  if (MouseCapture != 0 && control_) {
    control_->set_mouse_capture(false);
    control_->set_mouse_capture(true);
  }
}

void WindowElement::mouse_up(const tk::Message& m) {
  fire_integer(onMouseUp, m.wparam);
  if (MouseCapture != 0 && control_) control_->set_mouse_capture(false);
}

void WindowElement::mouse_move(const tk::Message&) {
  fire_integer(onMouseMove, last_mouse_button_);
}
void WindowElement::mouse_wheel(const tk::Message& m) {
  fire_integer(onMouseWheel, m.wparam);
}
void WindowElement::mouse_entered() {
  fire_null(onMouseEnter);
}
void WindowElement::mouse_left() {
  fire_null(onMouseLeave);
}
void WindowElement::being_destroyed() {
  destroying_ = true;
}
void WindowElement::resized() {
  fire_null(onResize);
}
void WindowElement::shown() {
  fire_null(onShow);
}

}  // namespace kx
