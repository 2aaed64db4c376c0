// TKxProgressBar: a bar over the range 0..Max.
#pragma once

#include "elements/window/win.hpp"

namespace kx {

class TKxProgressBar : public TKxWin {
 public:
  explicit TKxProgressBar(WindowElement* parent) : TKxWin(parent) {}

  std::uint8_t Orientation = 0;  // 1 vertical
  std::uint8_t Smooth = 0;       // 1 continuous bar
  std::int32_t Max = 0;
  std::uint32_t BarColor = 0;

  // The position becomes the event's value as an integer (NULL: 0); the bar clamps it.
  void doPosition(TData& d, std::uint16_t index);

  void Init() override;
};

}  // namespace kx
