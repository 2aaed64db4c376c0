// TKxImage: a bitmap shown in a control, scaled to fit with its aspect ratio kept.
#pragma once

#include <memory>

#include "elements/window/win.hpp"

namespace kx {

class TKxImage : public TKxWin {
 public:
  explicit TKxImage(WindowElement* parent);

  struct DrawRoutine {
    void (*method)(void* object, tk::Canvas& canvas) = nullptr;
    void* object = nullptr;
  };

  std::int32_t stretch_mode = tk::kStretchColorOnColor;
  DrawRoutine draw_routine;   // defaults to the element's own proportional fit
  std::uint8_t AutoSize = 0;  // 1: at creation the control takes the bitmap's size
  EventLink onClick;

  // On: halftone stretching; off: colour on colour.
  void set_smooth(std::uint8_t on);
  // Takes over the bitmap; a null one is ignored.
  void set_bitmap(std::unique_ptr<tk::Bitmap> bitmap);
  int bitmap_width() const { return bitmap_ ? bitmap_->width() : 0; }
  int bitmap_height() const { return bitmap_ ? bitmap_->height() : 0; }

  void Init() override;

  // Paints the bitmap into the control (width x height): the largest rectangle of the
  // bitmap's proportions, centred, the two bands beside it filled with the background.
  static void draw_fitted(void* self, tk::Canvas& canvas);

 protected:
  void handle_message(tk::Message& m) override;

 private:
  std::unique_ptr<tk::Bitmap> bitmap_;
};

}  // namespace kx
