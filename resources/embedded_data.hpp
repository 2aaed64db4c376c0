// The resources embedded at build time for the native build (resource_data.cpp is generated
// into the build directory by generate_resources.py).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kx::embedded {

struct Entry {
  const char* name;
  int type;  // as the resource compiler numbers it: 100 the image, 2 bitmap, 14 icon group
  const std::uint8_t* data;
  std::size_t size;
};

extern const Entry kEntries[];
extern const std::size_t kEntryCount;

}  // namespace kx::embedded
