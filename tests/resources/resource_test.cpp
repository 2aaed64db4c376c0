#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/image_layout.hpp"
#include "runtime/resource.hpp"

namespace kx {
namespace {

std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
  std::uint16_t v;
  std::memcpy(&v, b.data() + at, 2);
  return v;
}

TEST(Resources, FirmwareImageIsTheFileInUse) {
  std::unique_ptr<MemoryStream> s = load_resource_stream("STREAM0");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->size(), image_layout::kSize);
  EXPECT_EQ(s->position(), 0u);
  std::ifstream f(KX_IMAGE_PATH, std::ios::binary);
  ASSERT_TRUE(f) << KX_IMAGE_PATH;
  std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(f)),
                                 std::istreambuf_iterator<char>());
  EXPECT_TRUE(file == s->bytes());
  // Each load is a stream of its own.
  std::unique_ptr<MemoryStream> again = load_resource_stream("stream0");
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again.get(), s.get());
  EXPECT_TRUE(again->bytes() == s->bytes());
}

TEST(Resources, ImageBytesAreVariedEnoughToCatchReordering) {
  std::unique_ptr<MemoryStream> s = load_resource_stream("STREAM0");
  ASSERT_NE(s, nullptr);
  const auto& b = s->bytes();
  std::set<std::uint8_t> values(b.begin(), b.end());
  EXPECT_GT(values.size(), 200u);
  // No two blocks alike: a block sent twice or out of order changes the stream.
  constexpr std::size_t block = image_layout::kBlockSize;
  std::set<std::vector<std::uint8_t>> blocks;
  for (std::size_t at = 0; at < b.size(); at += block)
    blocks.emplace(b.begin() + static_cast<std::ptrdiff_t>(at),
                   b.begin() + static_cast<std::ptrdiff_t>(at + block));
  EXPECT_EQ(blocks.size(), image_layout::kBlockCount);
}

TEST(Resources, OnlyTypeHundredIsAStream) {
  EXPECT_EQ(load_resource_stream("BITMAP0"), nullptr);
  EXPECT_EQ(load_resource_stream("ZEDA"), nullptr);
  EXPECT_EQ(load_resource_stream("STREAM1"), nullptr);
  EXPECT_EQ(load_resource_stream(""), nullptr);
  EXPECT_TRUE(resource_bytes("NOSUCH").empty());
  EXPECT_EQ(resource_bytes("STREAM0").size(), image_layout::kSize);
}

TEST(Resources, ErrorPictureIsAWarningSign) {
  const auto bmp = resource_bytes("BITMAP0");
  ASSERT_GE(bmp.size(), 54u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(u32(bmp, 2), bmp.size());
  const std::uint32_t offset = u32(bmp, 10);
  EXPECT_EQ(u32(bmp, 14), 40u);                             // BITMAPINFOHEADER
  EXPECT_EQ(static_cast<std::int32_t>(u32(bmp, 18)), 290);  // width
  EXPECT_EQ(static_cast<std::int32_t>(u32(bmp, 22)), 290);  // height, bottom-up
  EXPECT_EQ(u16(bmp, 28), 32);                              // bits per pixel
  EXPECT_EQ(u32(bmp, 30), 0u);                              // uncompressed
  ASSERT_EQ(bmp.size(), offset + 290u * 290u * 4u);
  // Mostly signal yellow and black, and the middle of the bottom edge is part of the sign.
  std::size_t yellow = 0, black = 0;
  for (std::size_t p = offset; p < bmp.size(); p += 4) {
    const int b = bmp[p], g = bmp[p + 1], r = bmp[p + 2];
    if (r > 220 && g > 170 && b < 60) ++yellow;
    if (r < 40 && g < 40 && b < 40) ++black;
  }
  const std::size_t total = 290u * 290u;
  EXPECT_GT(yellow, total / 5);
  EXPECT_GT(black, total / 10);
}

TEST(Resources, IconHasTwoImagesOf24Bits) {
  const auto ico = resource_bytes("ZEDA");
  ASSERT_GE(ico.size(), 6u + 32u);
  EXPECT_EQ(u16(ico, 0), 0);
  EXPECT_EQ(u16(ico, 2), 1);  // icon
  ASSERT_EQ(u16(ico, 4), 2);
  std::set<int> sides;
  for (int i = 0; i < 2; ++i) {
    const std::size_t e = 6 + 16 * static_cast<std::size_t>(i);
    const int side = ico[e];
    sides.insert(side);
    EXPECT_EQ(ico[e + 1], side);
    EXPECT_EQ(u16(ico, e + 6), 24);
    const std::uint32_t bytes = u32(ico, e + 8), at = u32(ico, e + 12);
    ASSERT_LE(std::size_t{at} + bytes, ico.size());
    // The image: a 40-byte header with the doubled height, the pixels and the mask.
    EXPECT_EQ(u32(ico, at), 40u);
    EXPECT_EQ(static_cast<std::int32_t>(u32(ico, at + 8)), 2 * side);
    const std::size_t row = (static_cast<std::size_t>(side) * 3 + 3) / 4 * 4;
    const std::size_t mask_row = (static_cast<std::size_t>(side) + 31) / 32 * 4;
    EXPECT_EQ(bytes, 40 + row * side + mask_row * side);
  }
  EXPECT_EQ(sides, (std::set<int>{16, 32}));
}

}  // namespace
}  // namespace kx
