// TKxWinList and TKxLWinList: a list of text items in a list control, filled by events, with
// the user's pick reported after the control has finished changing its selection.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "elements/window/win.hpp"

namespace kx {

class TKxWinList : public TKxWin {
 public:
  explicit TKxWinList(WindowElement* parent) : TKxWin(parent) {}

  std::uint8_t AddToTop = 0;         // 1: doAdd inserts as the first item
  std::uint8_t SelectAdded = 0;      // 1: doAdd selects the new item
  std::uint8_t SelectSendsText = 0;  // 1: onClick carries the item's text, else its index
  EventLink dataText;                // text of a new item; unconnected: the event's value
  EventLink dataNumber;              // number of a new item; unconnected: the next value
  EventLink onChange;
  EventLink onClick;

  void doAdd(TData& d, std::uint16_t index);
  void doClear(TData& d, std::uint16_t index);
  // Replaces the items with the lines of the event's text. The item selected before stays
  // selected when its text is among the new ones, else nothing is; no selection is reported.
  void doSetItems(TData& d, std::uint16_t index);
  // All items, each followed by CR LF except a last one that is not empty.
  void getText(TData& d, std::uint16_t index);

  virtual void fill_item_list(std::vector<std::string>& list);
  virtual void set_items_text(std::string_view text) = 0;
  virtual void begin_update(std::size_t size_hint);
  virtual void end_update();
  virtual int add_item(std::string_view text);
  // An index below 0 or not below the count selects nothing.
  virtual void select_index(int index);
  virtual void replace_item(const TData& index, const TData& text);

  // The private notification that carries the deferred selection report.
  static constexpr std::int32_t kSelectionReport = 15;

 protected:
  void handle_message(tk::Message& m) override;

 private:
  void report_selection();
};

class TKxLWinList : public TKxWinList {
 public:
  explicit TKxLWinList(WindowElement* parent) : TKxWinList(parent) {}

  // Replaces the items with the lines of the text (a line ends at CR or CR LF; a final line
  // break adds no empty item).
  void set_items_text(std::string_view text) override;
};

}  // namespace kx
