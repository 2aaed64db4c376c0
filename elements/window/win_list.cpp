#include "elements/window/win_list.hpp"

namespace kx {

void TKxWinList::doAdd(TData& d, std::uint16_t) {
  const std::string text = read_string(d, dataText, "");
  int i = -1;
  if (AddToTop == 0) {
    i = add_item(text);
  } else if (control_) {
    i = control_->insert_item(0, text);
    if (i == -1) control_->set_text(control_->text() + "\r\n" + text);
  }
  if (SelectAdded == 1 && control_) control_->select(i);
  TData number;
  read_single_value(d, dataNumber, nullptr, number);
  if (is_integer(number) && control_) control_->set_item_data(i, number.int_value);
  continue_null(d, onChange);
}

void TKxWinList::doClear(TData& d, std::uint16_t) {
  if (control_) control_->clear_items();
  continue_null(d, onChange);
}

void TKxWinList::doSetItems(TData& d, std::uint16_t) {
  if (!control_) return;
  const int selected = control_->selection();
  const std::string chosen = selected >= 0 ? control_->item_text(selected) : std::string();
  control_->clear_items();
  set_items_text(to_string(d));
  int keep = -1;
  for (int i = 0; i < control_->item_count() && !chosen.empty(); ++i)
    if (control_->item_text(i) == chosen) keep = i;
  control_->select(keep);
}

void TKxWinList::getText(TData& d, std::uint16_t) {
  std::vector<std::string> list;
  fill_item_list(list);
  std::string text;
  for (const std::string& line : list) {
    text += line;
    text += "\r\n";
  }
  if (!list.empty() && !list.back().empty()) text.resize(text.size() - 2);
  set_string(d, std::move(text));
}

void TKxWinList::fill_item_list(std::vector<std::string>& list) {
  if (!control_) return;
  for (int i = 0; i < control_->item_count(); ++i) list.push_back(control_->item_text(i));
}

void TKxWinList::begin_update(std::size_t) {
  if (!control_) return;
  control_->set_redraw(false);
  control_->clear_items();
}

void TKxWinList::end_update() {
  if (!control_) return;
  control_->set_redraw(true);
  control_->invalidate();
}

int TKxWinList::add_item(std::string_view text) {
  return control_ ? control_->insert_item(-1, text) : -1;
}

void TKxWinList::select_index(int index) {
  if (!control_) return;
  if (index < 0 || index >= control_->item_count()) index = -1;
  control_->select(index);
}

void TKxWinList::replace_item(const TData& index, const TData& text) {
  if (!control_) return;
  const std::int32_t i = to_integer_or_minus_one(index);
  if (i < 0 || i >= control_->item_count()) return;
  const std::int32_t number = control_->item_data(i);
  const bool was_selected = control_->selection() == i;
  control_->delete_item(i);
  control_->insert_item(i, to_string(text));
  control_->set_item_data(i, number);
  if (was_selected) control_->select(i);
}

void TKxWinList::handle_message(tk::Message& m) {
  if (m.id == tk::Msg::SelChange && control_) {
    // Reported once the control has finished changing its selection: through the queue.
    tk::Message report{tk::Msg::Notify};
    report.wparam = kSelectionReport;
    control_->post(report);
  } else if (m.id == tk::Msg::Notify && m.wparam == kSelectionReport) {
    report_selection();
  }
  TKxWin::handle_message(m);
}

void TKxWinList::report_selection() {
  if (!control_) return;
  const int i = control_->selection();
  TData first;
  if (SelectSendsText == 1) {
    set_string(first, control_->item_text(i));
  } else {
    set_integer(first, i);
  }
  TData second;
  const std::int32_t number = control_->item_data(i);
  if (number != -1) {
    set_integer(second, number);
    first.next = &second;
  }
  fire(onClick, first);
}

void TKxLWinList::set_items_text(std::string_view text) {
  begin_update(text.size());
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') continue;
    add_item(text.substr(start, i - start));
    if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) add_item(text.substr(start));
  end_update();
}

}  // namespace kx
