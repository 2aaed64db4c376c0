// TKxMemoryStream: owns a memory stream and offers it to other elements as a Stream value.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/memory_stream.hpp"
#include "runtime/tdata.hpp"

namespace kx {

class TKxMemoryStream {
 public:
  TKxMemoryStream() : stream_(std::make_unique<MemoryStream>()) {}

  // Releases the held stream at once and holds the given one; a null one leaves an empty
  // stream, so the element always has a stream to offer.
  void replace_stream(std::unique_ptr<MemoryStream> stream);
  // A Stream value referring to the held stream; the element keeps it, the position stays.
  void getStream(TData& d, std::uint16_t index);

  MemoryStream& stream() { return *stream_; }

 private:
  std::unique_ptr<MemoryStream> stream_;
};

}  // namespace kx
