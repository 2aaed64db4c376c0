// TKxTextHolder: holds one text, set by doText and read by getText, with no window. It stands
// where a never-shown edit field would only keep a text (the running CRC of a transfer): the
// same two pins, without a window message per change.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/tdata.hpp"

namespace kx {

class TKxTextHolder {
 public:
  std::string Text;  // the initial text, then the last one set
  EventLink dataText;

  // Takes the text from dataText, or from the event when it is unconnected.
  void doText(TData& d, std::uint16_t index);
  // Gives the text as a String.
  void getText(TData& d, std::uint16_t index);
};

}  // namespace kx
