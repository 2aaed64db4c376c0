// The firmware image's layout: the bytes the executable carries as "STREAM0", sent to the
// device in blocks of one size, the device answering each block. The build
// (cmake/image_layout.cmake) and the scripts (tools/image-layout.sh) read the two numbers
// below from this file: keep each a plain number on a line of its own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kx::image_layout {

inline constexpr std::size_t kBlockSize = 256;
inline constexpr std::size_t kBlockCount = 508;

// The whole image, 130048 bytes.
inline constexpr std::size_t kSize = kBlockSize * kBlockCount;
// The number of the last block, counting from 0: where the counters and the bars stop.
inline constexpr std::int32_t kLastBlock = static_cast<std::int32_t>(kBlockCount) - 1;

}  // namespace kx::image_layout
