// The resources on Windows: the executable's own, found with FindResourceA.
#include <windows.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/resource.hpp"

namespace kx {

namespace {

constexpr WORD kImageType = 100;

// The bytes of a resource in the module; they stay mapped as long as the program runs.
std::span<const std::uint8_t> module_resource(const std::string& name, LPCSTR type) {
  HRSRC info = FindResourceA(nullptr, name.c_str(), type);
  if (info == nullptr) return {};
  HGLOBAL handle = LoadResource(nullptr, info);
  if (handle == nullptr) return {};
  const DWORD size = SizeofResource(nullptr, info);
  const void* data = LockResource(handle);
  if (data == nullptr) return {};
  return {static_cast<const std::uint8_t*>(data), size};
}

// A bitmap resource is a DIB without its file header: put the header back.
std::vector<std::uint8_t> bitmap_file(std::span<const std::uint8_t> dib) {
  std::vector<std::uint8_t> out;
  if (dib.size() < sizeof(BITMAPINFOHEADER)) return out;
  BITMAPINFOHEADER info;
  std::memcpy(&info, dib.data(), sizeof info);
  DWORD colours = info.biClrUsed;
  if (colours == 0 && info.biBitCount <= 8) colours = 1u << info.biBitCount;
  DWORD masks = info.biCompression == BI_BITFIELDS ? 3 : 0;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfSize = static_cast<DWORD>(sizeof file + dib.size());
  file.bfOffBits =
      static_cast<DWORD>(sizeof file + info.biSize + (colours + masks) * sizeof(RGBQUAD));
  out.resize(sizeof file + dib.size());
  std::memcpy(out.data(), &file, sizeof file);
  std::memcpy(out.data() + sizeof file, dib.data(), dib.size());
  return out;
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
struct FileIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  DWORD offset;
};
#pragma pack(pop)

// An icon resource is a group directory naming one RT_ICON per image: rebuild the .ico file.
std::vector<std::uint8_t> icon_file(std::span<const std::uint8_t> group) {
  std::vector<std::uint8_t> out;
  if (group.size() < 6) return out;
  WORD count = 0;
  std::memcpy(&count, group.data() + 4, sizeof count);
  if (group.size() < 6 + count * sizeof(GroupIconEntry)) return out;
  std::vector<std::span<const std::uint8_t>> images;
  std::vector<FileIconEntry> entries;
  DWORD offset = static_cast<DWORD>(6 + count * sizeof(FileIconEntry));
  for (WORD i = 0; i < count; ++i) {
    GroupIconEntry g;
    std::memcpy(&g, group.data() + 6 + i * sizeof g, sizeof g);
    HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(g.id), MAKEINTRESOURCEA(3));  // RT_ICON
    if (info == nullptr) return {};
    HGLOBAL handle = LoadResource(nullptr, info);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (data == nullptr) return {};
    const DWORD size = SizeofResource(nullptr, info);
    images.emplace_back(static_cast<const std::uint8_t*>(data), size);
    entries.push_back(
        {g.width, g.height, g.colours, g.reserved, g.planes, g.bit_count, size, offset});
    offset += size;
  }
  out.resize(offset);
  const WORD header[3] = {0, 1, count};
  std::memcpy(out.data(), header, sizeof header);
  std::memcpy(out.data() + 6, entries.data(), entries.size() * sizeof(FileIconEntry));
  for (std::size_t i = 0; i < images.size(); ++i)
    std::memcpy(out.data() + entries[i].offset, images[i].data(), images[i].size());
  return out;
}

}  // namespace

std::unique_ptr<MemoryStream> load_resource_stream(std::string_view name) {
  const std::span<const std::uint8_t> bytes =
      module_resource(std::string(name), MAKEINTRESOURCEA(kImageType));
  if (bytes.data() == nullptr) return nullptr;
  auto stream = std::make_unique<MemoryStream>();
  stream->write(bytes.data(), bytes.size());
  stream->seek(0);
  return stream;
}

std::span<const std::uint8_t> resource_bytes(std::string_view name) {
  const std::string key(name);
  std::span<const std::uint8_t> raw = module_resource(key, MAKEINTRESOURCEA(kImageType));
  if (raw.data() != nullptr) return raw;

  // Bitmaps and icons are rebuilt into their file form once and kept.
  static std::mutex mutex;
  static std::map<std::string, std::vector<std::uint8_t>> files;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = files.find(key);
  if (it == files.end()) {
    std::vector<std::uint8_t> file;
    if (auto dib = module_resource(key, MAKEINTRESOURCEA(2)); dib.data() != nullptr)  // RT_BITMAP
      file = bitmap_file(dib);
    else if (auto group = module_resource(key, MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
             group.data() != nullptr)
      file = icon_file(group);
    if (file.empty()) return {};
    it = files.emplace(key, std::move(file)).first;
  }
  return {it->second.data(), it->second.size()};
}

}  // namespace kx
