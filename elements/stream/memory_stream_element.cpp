#include "elements/stream/memory_stream_element.hpp"

namespace kx {

void TKxMemoryStream::replace_stream(std::unique_ptr<MemoryStream> stream) {
  stream_ = stream ? std::move(stream) : std::make_unique<MemoryStream>();
}

void TKxMemoryStream::getStream(TData& d, std::uint16_t) {
  set_stream(d, stream_.get());
}

}  // namespace kx
