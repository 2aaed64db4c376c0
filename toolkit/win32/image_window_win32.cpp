// An Image: a static control whose handler paints it, on the control's background colour.
#include <windows.h>

#include "toolkit/dpi.hpp"
#include "toolkit/win32/window_kinds_win32.hpp"

namespace kx::win32 {

namespace {

// The paint surface handed to an Image's handler.
class PaintCanvas final : public tk::Canvas {
 public:
  PaintCanvas(HDC dc, HBRUSH brush, int dpi) : dc_(dc), brush_(brush), dpi_(dpi) {}
  void fill(const tk::Rect& design) override {
    const tk::Rect r = tk::to_screen(design, dpi_);
    RECT rc{r.left, r.top, r.left + r.width, r.top + r.height};
    FillRect(dc_, &rc, brush_);
  }
  void stretch(const tk::Bitmap& bitmap, const tk::Rect& design, int stretch_mode) override {
    const tk::Rect target = tk::to_screen(design, dpi_);
    const auto* b = dynamic_cast<const Win32Bitmap*>(&bitmap);
    if (b == nullptr) return;
    SetStretchBltMode(dc_, stretch_mode);
    if (stretch_mode == HALFTONE) SetBrushOrgEx(dc_, 0, 0, nullptr);
    StretchDIBits(dc_, target.left, target.top, target.width, target.height, 0, 0, b->width(),
                  b->height(), b->bits(), b->info(), DIB_RGB_COLORS, SRCCOPY);
  }

 private:
  HDC dc_;
  HBRUSH brush_;
  int dpi_;
};

tk::CreateOptions without_text(tk::CreateOptions options) {
  options.text.clear();
  return options;
}

}  // namespace

ImageWindow::ImageWindow(const tk::CreateOptions& options)
    : ControlWindow(without_text(options), L"STATIC", SS_NOTIFY) {}

LRESULT ImageWindow::on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole control
    default:
      return ControlWindow::on_message(hwnd, msg, wp, lp);
  }
}

void ImageWindow::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  HBRUSH b = brush() != nullptr ? brush() : GetSysColorBrush(COLOR_BTNFACE);
  PaintCanvas canvas(dc, b, dpi());
  RECT client;
  GetClientRect(hwnd_, &client);
  if (handler_) {
    tk::Message m{tk::Msg::Paint};
    m.canvas = &canvas;
    if (!run_handler(m)) return;  // gone while painting: the DC went with the window
  } else {
    FillRect(dc, &client, b);
  }
  EndPaint(hwnd_, &ps);
}

}  // namespace kx::win32
