// The items of a headless combo box and the range, position and colour of a progress bar.
#include <algorithm>

#include "runtime/tdata.hpp"
#include "toolkit/headless/headless_window.hpp"

namespace kx::headless {

int HeadlessWindow::add_item(std::string_view text) {
  if (!alive_) return -1;
  std::size_t at = items_.size();
  if (sorted_) {
    at = 0;
    while (at < items_.size() && compare_text_nocase(items_[at].text, text) <= 0) ++at;
  }
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), Item{std::string(text), 0});
  if (selection_ >= static_cast<int>(at)) ++selection_;
  return static_cast<int>(at);
}

int HeadlessWindow::insert_item(int index, std::string_view text) {
  if (!alive_) return -1;
  if (index < 0) index = static_cast<int>(items_.size());
  if (index > static_cast<int>(items_.size())) return -1;
  items_.insert(items_.begin() + index, Item{std::string(text), 0});
  if (selection_ >= index) ++selection_;
  return index;
}

void HeadlessWindow::delete_item(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  items_.erase(items_.begin() + index);
  if (selection_ == index) {
    selection_ = -1;
  } else if (selection_ > index) {
    --selection_;
  }
}

void HeadlessWindow::clear_items() {
  items_.clear();
  selection_ = -1;
  if (kind_ == tk::Kind::ComboBox) text_.clear();
}

std::string HeadlessWindow::item_text(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size())) return {};
  return items_[static_cast<std::size_t>(index)].text;
}

std::int32_t HeadlessWindow::item_data(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size())) return -1;
  return items_[static_cast<std::size_t>(index)].data;
}

void HeadlessWindow::set_item_data(int index, std::int32_t value) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  items_[static_cast<std::size_t>(index)].data = value;
}

void HeadlessWindow::select(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) index = -1;
  selection_ = index;
  text_ = item_text(index);
}

void HeadlessWindow::reserve_storage(std::size_t bytes) {
  reserved_ = bytes;
}

void HeadlessWindow::set_range(int max) {
  range_max_ = max;
  progress_ = std::clamp(progress_, 0, std::max(0, range_max_));
}

void HeadlessWindow::set_progress(int position) {
  progress_ = std::clamp(position, 0, std::max(0, range_max_));
}

void HeadlessWindow::set_bar_color(std::uint32_t color) {
  bar_color_ = color;
}

}  // namespace kx::headless
