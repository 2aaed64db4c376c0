#include "elements/window/label.hpp"

namespace kx {

TKxLabel::TKxLabel(WindowElement* parent) : TKxWin(parent) {
  tk::CreateOptions options;
  options.kind = tk::Kind::Label;
  options.parent = parent_window();
  control_ = tk::create_window(options);
}

void TKxLabel::set_alignment(std::uint8_t alignment) {
  Alignment = alignment;
  if (control_) control_->set_alignment(alignment);
}

void TKxLabel::set_auto_size(std::uint8_t on) {
  AutoSize = on;
  if (on != 0) fit_to_text();
}

void TKxLabel::set_caption(std::string text) {
  Caption = std::move(text);
  if (!control_) return;
  control_->set_text(Caption);
  if (AutoSize != 0) fit_to_text();
}

void TKxLabel::Init() {
  TKxWin::Init();
  set_caption(Caption);
}

// Text size plus one pixel each way; a dimension that the alignment fixes stays.
void TKxLabel::fit_to_text() {
  if (!control_) return;
  std::string text = control_->text();
  if ((Font.style_bits & 2) != 0) text += ' ';  // italic overhangs
  const tk::Extent e = control_->measure_text(text);
  const tk::Rect r = control_->rect();
  const bool width_free = Align == 0 || Align == 1 || Align == 3;
  const bool height_free = Align == 0 || Align == 2 || Align == 4;
  control_->set_size(width_free ? e.width + 1 : r.width, height_free ? e.height + 1 : r.height);
}

void TKxLabel::handle_message(tk::Message& m) {
  if (m.id == tk::Msg::Click) fire_null(onClick);
  TKxWin::handle_message(m);
}

void TKxLabel::apply_hover(bool over) {
  if (!control_ || ParentFont != 0) return;
  if (HoverColor == 0 && HoverUnderline != 1) return;
  tk::Font f = window_font(Font);
  if (over && HoverColor != 0) f.color = HoverColor;
  if (over && HoverUnderline == 1) f.style_bits = static_cast<std::uint8_t>(f.style_bits | 4);
  if (!over && HoverUnderline == 1) f.style_bits = static_cast<std::uint8_t>(f.style_bits & ~4);
  control_->set_font(f);
}

void TKxLabel::mouse_entered() {
  TKxWin::mouse_entered();
  apply_hover(true);
}

void TKxLabel::mouse_left() {
  TKxWin::mouse_left();
  apply_hover(false);
}

}  // namespace kx
