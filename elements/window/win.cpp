#include "elements/window/win.hpp"

namespace kx {

TKxWin::~TKxWin() {
  if (hint_manager_ != nullptr && hint_ != nullptr) hint_manager_->remove(hint_);
}

void TKxWin::doVisible(TData& d, std::uint16_t) {
  if (control_) control_->set_visible(is_true(d));
}

void TKxWin::set_hint_manager(TKxHintManager* manager) {
  if (manager == nullptr && Hint.empty()) return;
  if (!control_) return;
  hint_manager_ = manager != nullptr ? manager : &hint_manager();
  if (hint_ != nullptr) hint_manager_->remove(hint_);
  hint_ = hint_manager_->create_for(control_.get());
  hint_manager_->set_text(hint_, Hint);
}

void TKxWin::set_Hint(std::string_view text) {
  Hint = std::string(text);
  if (hint_ != nullptr) {
    hint_manager_->set_text(hint_, Hint);
  } else {
    set_hint_manager(hint_manager_);
  }
}

void TKxWin::Init() {
  if (!control_) return;
  apply_common();
  if (Flat != 0) control_->set_flat();
  if (ParentFont != 0) {
    control_->use_parent_font();
  } else {
    control_->set_font(window_font(Font));
  }
  control_->set_tab_order(TabOrder);
  install_handler();
  control_->set_align(Align);
  control_->set_visible(false);
  control_->set_visible(Visible != 0);
  if (Ctl3D == 0) {
    switch (EdgeStyle) {
      case 1:
        control_->set_edge(tk::Edge::None);
        break;
      case 2:
        control_->set_edge(tk::Edge::Static);
        break;
      case 3:
        control_->set_edge(tk::Edge::Raised);
        break;
      case 4:
        control_->set_edge(tk::Edge::RaisedSunken);
        break;
      default:
        break;
    }
  }
}

// A key goes to the class's key handler; a handler that sets the key to 0 swallows it (and
// the character it would type). The override, when something set one during the event,
// replaces the key.
void TKxWin::handle_key(tk::Message& m) {
  if (m.id == tk::Msg::Char) {
    if (key_override_ == 0) {
      m.wparam = 0;
      m.handled = true;
      return;
    }
    fire_string(onKeyChar, std::string(1, static_cast<char>(m.wparam & 0xFF)));
    return;
  }
  std::int32_t key = m.wparam;
  key_override_ = -1;
  if (m.id == tk::Msg::KeyDown) {
    key_down(key);
  } else {
    key_up(key);
  }
  if (key_override_ >= 0) {
    key = key_override_;
  } else if (key == 0) {
    key_override_ = 0;
  }
  m.wparam = key;
  if (key == 0) m.handled = true;
}

void TKxWin::mouse_entered() {
  if (hint_ != nullptr) hint_manager_->mouse_entered(hint_);
  WindowElement::mouse_entered();
}

void TKxWin::mouse_left() {
  if (hint_ != nullptr) hint_manager_->mouse_left(hint_);
  WindowElement::mouse_left();
}

void TKxWin::mouse_move(const tk::Message& m) {
  if (hint_ != nullptr) hint_manager_->mouse_moved(hint_, m.x, m.y);
  WindowElement::mouse_move(m);
}

}  // namespace kx
