// TKxButton: a push button; every click fires a copy of ClickData.
#pragma once

#include <string>

#include "elements/window/win.hpp"

namespace kx {

class TKxButton : public TKxWin {
 public:
  explicit TKxButton(WindowElement* parent) : TKxWin(parent) {}

  EventLink onClick;
  TData ClickData;  // sent (as a copy) with every click; NULL unless set
  std::string Caption;
  std::uint8_t DefaultButton = 0;  // 1: the form's default button

  void Init() override;

 protected:
  void handle_message(tk::Message& m) override;
};

}  // namespace kx
