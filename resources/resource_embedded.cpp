// The resources on the native build: byte arrays embedded at build time.
#include "resources/embedded_data.hpp"
#include "runtime/resource.hpp"

namespace kx {

namespace {

constexpr int kImageType = 100;

char ascii_upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Resource names are looked up without regard to ASCII case, as the system does.
bool same_name(std::string_view a, const char* b) {
  std::string_view bv(b);
  if (a.size() != bv.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ascii_upper(a[i]) != ascii_upper(bv[i])) return false;
  return true;
}

const embedded::Entry* find(std::string_view name, int type) {
  for (std::size_t i = 0; i < embedded::kEntryCount; ++i) {
    const embedded::Entry& e = embedded::kEntries[i];
    if ((type == 0 || e.type == type) && same_name(name, e.name)) return &e;
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<MemoryStream> load_resource_stream(std::string_view name) {
  const embedded::Entry* e = find(name, kImageType);
  if (e == nullptr) return nullptr;
  auto stream = std::make_unique<MemoryStream>();
  stream->write(e->data, e->size);
  stream->seek(0);
  return stream;
}

std::span<const std::uint8_t> resource_bytes(std::string_view name) {
  const embedded::Entry* e = find(name, 0);
  if (e == nullptr) return {};
  return {e->data, e->size};
}

}  // namespace kx
