#include "elements/text/data_to_file.hpp"

#include "runtime/memory_stream.hpp"

namespace kx {

void TKxDataToFile::doGet(TData& d, std::uint16_t) {
  MemoryStream* stream = read_pin_stream(dataStream);
  if (stream == nullptr) return;
  std::uint8_t byte = 0;
  // At the end nothing is read, the position stays and the byte is 0.
  if (stream->read(&byte, 1) != 1) byte = 0;
  TData value;
  set_integer(value, byte);
  continue_copy(d, onGet, value);
}

}  // namespace kx
