#include "elements/window/image.hpp"

namespace kx {

TKxImage::TKxImage(WindowElement* parent) : TKxWin(parent) {
  draw_routine.method = &TKxImage::draw_fitted;
  draw_routine.object = this;
}

void TKxImage::set_smooth(std::uint8_t on) {
  // Halftone stretching exists on every system this tool runs on.
  stretch_mode = on != 0 ? tk::kStretchHalftone : tk::kStretchColorOnColor;
}

void TKxImage::set_bitmap(std::unique_ptr<tk::Bitmap> bitmap) {
  if (bitmap) bitmap_ = std::move(bitmap);
}

void TKxImage::Init() {
  control_ = tk::create_window(control_options(tk::Kind::Image));
  TKxWin::Init();
  if (AutoSize == 1 && bitmap_width() > 0 && bitmap_height() > 0)
    control_->set_size(bitmap_width(), bitmap_height());
}

void TKxImage::handle_message(tk::Message& m) {
  if (m.id == tk::Msg::Click) fire_null(onClick);
  if (m.id == tk::Msg::Paint && m.canvas != nullptr && control_) {
    if (bitmap_width() == 0 || bitmap_height() == 0) {
      const tk::Extent c = control_->client_size();
      m.canvas->fill({0, 0, c.width, c.height});
    } else if (draw_routine.method != nullptr) {
      draw_routine.method(draw_routine.object, *m.canvas);
    }
    m.handled = true;
    return;
  }
  TKxWin::handle_message(m);
}

void TKxImage::draw_fitted(void* self, tk::Canvas& canvas) {
  auto* image = static_cast<TKxImage*>(self);
  if (!image->control_ || !image->bitmap_) return;
  const tk::Extent c = image->control_->client_size();
  const int w = c.width;
  const int h = c.height;
  const double ratio = static_cast<double>(image->bitmap_height()) / image->bitmap_width();
  tk::Rect target{0, 0, w, h};
  if (h >= w * ratio) {
    const int margin = real_to_integer((h - w * ratio) / 2);
    target = {0, margin, w, h - 2 * margin};
    canvas.fill({0, 0, w, margin});
    canvas.fill({0, h - margin, w, margin});
  } else {
    const int margin = real_to_integer((w - h / ratio) / 2);
    target = {margin, 0, w - 2 * margin, h};
    canvas.fill({0, 0, margin, h});
    canvas.fill({w - margin, 0, margin, h});
  }
  canvas.stretch(*image->bitmap_, target, image->stretch_mode);
}

}  // namespace kx
