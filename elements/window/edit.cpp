#include "elements/window/edit.hpp"

namespace kx {

namespace {
constexpr std::int32_t kEnterKey = 13;
}

TKxEdit::TKxEdit(WindowElement* parent) : TKxWin(parent) {
  text_source.method = &TKxEdit::read_own_text;
  text_source.object = this;
}

bool TKxEdit::read_own_text(void* self, TData& out) {
  auto* edit = static_cast<TKxEdit*>(self);
  if (!edit->control_ || !edit->control_->alive()) return false;
  set_string(out, edit->control_->text());
  return true;
}

bool TKxEdit::read_text(TData& out) const {
  return text_source.method != nullptr && text_source.method(text_source.object, out);
}

void TKxEdit::Init() {
  tk::CreateOptions options = control_options(tk::Kind::Edit);
  options.password = Password != 0;
  options.read_only = ReadOnly != 0;
  control_ = tk::create_window(options);
  control_->set_alignment(Alignment);
  TKxWin::Init();
  change_handler_ = true;
  control_->set_text(Text);
}

void TKxEdit::doText(TData& d, std::uint16_t) {
  enter_clear_pending = 0;
  if (!control_) return;
  const int caret = control_->caret();
  control_->set_text(read_string(d, dataText, ""));
  control_->set_caret(caret);
}

void TKxEdit::getText(TData& d, std::uint16_t) {
  if (!read_text(d)) set_null(d);
}

void TKxEdit::key_down(std::int32_t& key) {
  if (key != kEnterKey || !onEnter.connected()) {
    TKxWin::key_down(key);
    return;
  }
  TData text;
  if (read_text(text)) {
    enter_clear_pending = 1;
    fire(onEnter, text);
    if (enter_clear_pending == 1 && control_) {
      enter_clear_pending = 0;
      report_changes = 0;
      control_->set_text("");
      // The emptying's own notification came inside set_text; if the platform sent none
      // (the box was already empty) the next change must still be reported.
      report_changes = 1;
    }
  }
  key = 0;
}

void TKxEdit::handle_message(tk::Message& m) {
  if (m.id == tk::Msg::Change && change_handler_) {
    if (report_changes == 1) {
      TData text;
      if (read_text(text)) fire(onChange, text);
    }
    report_changes = 1;
  }
  TKxWin::handle_message(m);
}

}  // namespace kx
