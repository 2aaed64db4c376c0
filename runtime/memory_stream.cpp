#include "runtime/memory_stream.hpp"

#include <algorithm>
#include <cstring>

namespace kx {

void MemoryStream::write(const void* data, std::size_t n) {
  if (n == 0) return;
  if (position_ + n > bytes_.size()) bytes_.resize(position_ + n);
  std::memcpy(bytes_.data() + position_, data, n);
  position_ += n;
}

std::size_t MemoryStream::read(void* out, std::size_t n) {
  if (position_ >= bytes_.size()) return 0;
  std::size_t k = std::min(n, bytes_.size() - position_);
  std::memcpy(out, bytes_.data() + position_, k);
  position_ += k;
  return k;
}

}  // namespace kx
