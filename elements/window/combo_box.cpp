#include "elements/window/combo_box.hpp"

namespace kx {

void TKxComboBox::set_icon_list(void* list) {
  if (list != nullptr) icon_list_ = list;
}
void TKxComboBox::set_draw_item_hook(void* hook) {
  if (hook != nullptr) draw_item_hook_ = hook;
}
void TKxComboBox::set_icon_source_hook(void* hook) {
  if (hook != nullptr) icon_source_hook_ = hook;
}

void TKxComboBox::begin_update(std::size_t size_hint) {
  TKxLWinList::begin_update(size_hint);
  if (control_) control_->reserve_storage(size_hint);
}

int TKxComboBox::add_item(std::string_view text) {
  return control_ ? control_->add_item(text) : -1;
}

void TKxComboBox::Init() {
  tk::CreateOptions options = control_options(tk::Kind::ComboBox);
  options.editable = Editable == 1;
  options.sorted = Sorted == 1;
  options.item_height = ItemHeight;
  control_ = tk::create_window(options);
  TKxWin::Init();
  set_items_text(ItemsText);
  control_->set_text(Text);
}

}  // namespace kx
