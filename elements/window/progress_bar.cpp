#include "elements/window/progress_bar.hpp"

namespace kx {

void TKxProgressBar::Init() {
  tk::CreateOptions options = control_options(tk::Kind::ProgressBar);
  options.vertical = Orientation == 1;
  options.smooth = Smooth == 1;
  control_ = tk::create_window(options);
  control_->set_range(Max);
  control_->set_bar_color(tk::resolve_color(BarColor));
  if (Ctl3D == 1) control_->set_edge(tk::Edge::None);
  TKxWin::Init();
}

void TKxProgressBar::doPosition(TData& d, std::uint16_t) {
  const std::int32_t position = read_integer(d, unconnected_link(), 0);
  if (control_) control_->set_progress(position);
}

}  // namespace kx
