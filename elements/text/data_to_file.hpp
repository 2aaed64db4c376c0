// TKxDataToFile: reads one byte at a time from a stream.
#pragma once

#include <cstdint>

#include "runtime/tdata.hpp"

namespace kx {

class TKxDataToFile {
 public:
  EventLink dataStream;
  EventLink onGet;

  // Passes on the next byte of the stream as an Integer 0..255 (the position moves by one);
  // at the end of the stream passes on 0 and the position stays. Without a stream nothing
  // happens.
  void doGet(TData& d, std::uint16_t index);
};

}  // namespace kx
