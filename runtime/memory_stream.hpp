// A byte buffer with a position: the stream the image travels in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kx {

class MemoryStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  // Writes at the position, growing the buffer as needed; the position moves past the bytes.
  void write(const void* data, std::size_t n);
  // Reads up to n bytes from the position; returns how many were read (0 at the end).
  std::size_t read(void* out, std::size_t n);
  void seek(std::size_t position) { position_ = position; }
  std::size_t position() const { return position_; }
  std::size_t size() const { return bytes_.size(); }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace kx
