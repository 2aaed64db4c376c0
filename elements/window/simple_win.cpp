#include "elements/window/simple_win.hpp"

namespace kx {

void TKxSimpleWin::Init() {
  if (!control_) return;
  apply_common();
  control_->set_tab_order(TabOrder);
  install_handler();
  control_->set_align(Align);
  control_->set_visible(Visible != 0);
}

}  // namespace kx
