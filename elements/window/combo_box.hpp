// TKxComboBox: a drop-down combo box; in this tool the list of serial ports.
#pragma once

#include <string>

#include "elements/window/win_list.hpp"

namespace kx {

class TKxComboBox : public TKxLWinList {
 public:
  explicit TKxComboBox(WindowElement* parent) : TKxLWinList(parent) {}

  std::uint8_t Editable = 0;  // 1: drop-down with an edit field; 0: list only
  std::string Text;           // initial text of the edit field
  std::string ItemsText;      // initial items, one per line
  std::uint8_t Sorted = 0;
  std::int32_t ItemHeight = 0;

  // Owner-draw companions; kept when not null (this tool passes none).
  void set_icon_list(void* list);
  void set_draw_item_hook(void* hook);
  void set_icon_source_hook(void* hook);

  void begin_update(std::size_t size_hint) override;
  int add_item(std::string_view text) override;

  void Init() override;

 private:
  void* icon_list_ = nullptr;
  void* draw_item_hook_ = nullptr;
  void* icon_source_hook_ = nullptr;
};

}  // namespace kx
