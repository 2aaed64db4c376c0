// Placement of a headless window: position, size, the client area inside a form's frame,
// alignment to an edge of the parent, and the resolution it is shown at.
#include "toolkit/align.hpp"
#include "toolkit/headless/headless_window.hpp"
#include "toolkit/style_bits.hpp"

namespace kx::headless {

namespace {

constexpr int kFrame = 3;     // border width of a framed form, each side
constexpr int kCaption = 22;  // caption height of a form with a caption

}  // namespace

void HeadlessWindow::set_position(int left, int top) {
  if (!alive_) return;
  if (rect_.left == left && rect_.top == top) return;
  rect_.left = left;
  rect_.top = top;
  apply_align();
  tk::Message m{tk::Msg::Move};
  m.x = rect_.left;
  m.y = rect_.top;
  send(m);
}

void HeadlessWindow::set_size(int width, int height) {
  if (!alive_) return;
  tk::Rect before = rect_;
  rect_.width = width;
  rect_.height = height;
  apply_align();
  if (rect_ == before) return;
  tk::Message m{tk::Msg::Size};
  m.x = rect_.width;
  m.y = rect_.height;
  send(m);
  for (HeadlessWindow* w : state().windows)
    if (w->parent_ == this && w->align_ != 0) w->apply_align();
}

tk::Extent HeadlessWindow::client_size() const {
  if (kind_ != tk::Kind::Form) return {rect_.width, rect_.height};
  const bool framed =
      (style_ & (tk::kStyleBorder | tk::kStyleDlgFrame | tk::kStyleThickFrame)) != 0;
  const bool caption = (style_ & tk::kStyleCaption) == tk::kStyleCaption;
  const int frame = framed ? kFrame : 0;
  return {rect_.width - 2 * frame, rect_.height - 2 * frame - (caption ? kCaption : 0)};
}

void HeadlessWindow::set_align(int align) {
  align_ = align;
  apply_align();
}

// Aligned controls keep to an edge of the parent's client area (tk::aligned_rect).
void HeadlessWindow::apply_align() {
  if (align_ == 0 || parent_ == nullptr) return;
  rect_ = tk::aligned_rect(align_, rect_, parent_->client_size());
}

int HeadlessWindow::dpi() const {
  if (kind_ == tk::Kind::Form || parent_ == nullptr) return dpi_;
  return parent_->dpi();
}

}  // namespace kx::headless
