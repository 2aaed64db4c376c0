// The executable's own resources: the firmware image (numeric resource type 100), the error
// bitmap and the window icon. Windows reads them from the module, the native build from data
// embedded at build time.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "runtime/memory_stream.hpp"

namespace kx {

// A new stream holding the resource `name` of type 100, positioned at 0; nullptr when absent.
std::unique_ptr<MemoryStream> load_resource_stream(std::string_view name);

// The raw bytes of a resource by name: "STREAM0" (type 100), "BITMAP0" (a whole .bmp file:
// file header, info header, pixels) and "ZEDA" (a whole .ico file with its directory). Empty
// when absent. The bytes live as long as the program.
std::span<const std::uint8_t> resource_bytes(std::string_view name);

}  // namespace kx
