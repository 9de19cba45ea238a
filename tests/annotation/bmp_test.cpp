#include "annotation/bmp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "annotation/bmp_writer.h"
#include "services/runtime_error.h"

namespace quorin::annotation {
namespace {

using testing::BmpLayout;
using testing::make_bmp;

constexpr int kWidth = 5, kHeight = 3;  // odd sizes so every row carries padding

std::uint32_t index_at(int r, int c, unsigned bits) {
  return static_cast<std::uint32_t>(r * 7 + c * 3 + 1) % (1u << bits);
}
std::array<int, 3> colour_at(int r, int c) { return {r * 90 + c * 15, 255 - c * 50, r * 7 + c}; }

struct DepthRow {
  const char* name;
  BmpLayout layout;
};

TEST(BmpDecoding, PaletteDepthsGiveIndices) {
  const DepthRow rows[] = {
      {"1 bit", {.bits = 1}},
      {"1 bit top-down", {.bits = 1, .top_down = true}},
      {"4 bits", {.bits = 4}},
      {"4 bits, old header", {.bits = 4, .header_size = 12}},
      {"8 bits", {.bits = 8}},
      {"8 bits top-down", {.bits = 8, .top_down = true}},
      {"8 bits, long header", {.bits = 8, .header_size = 124}},
      {"8 bits, unpadded last row", {.bits = 8, .pad_last_row = false}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const unsigned bits = row.layout.bits;
    const auto file = make_bmp(row.layout, kWidth, kHeight,
                               [bits](int r, int c) { return index_at(r, c, bits); });
    const Picture p = decode_bmp(file);
    ASSERT_EQ(p.height, std::size_t{kHeight});
    ASSERT_EQ(p.width, std::size_t{kWidth});
    ASSERT_EQ(p.channels, 1u);
    EXPECT_FALSE(p.true_colour_8bit);
    for (int r = 0; r < kHeight; ++r)
      for (int c = 0; c < kWidth; ++c) EXPECT_EQ(p.at(r, c), index_at(r, c, bits)) << r << "," << c;
    ASSERT_EQ(p.palette.size(), std::size_t{1} << bits);
    const auto& last = p.palette.back();
    const double i = static_cast<double>(p.palette.size() - 1);
    EXPECT_DOUBLE_EQ(last[0], i / 255);
    EXPECT_DOUBLE_EQ(last[1], (255 - i) / 255);
  }
}

std::uint32_t pack(std::array<int, 3> rgb, std::array<std::uint32_t, 3> masks, int levels_bits[3]) {
  std::uint32_t v = 0;
  for (int k = 0; k < 3; ++k) {
    const std::uint32_t max = (1u << levels_bits[k]) - 1;
    const auto level = static_cast<std::uint32_t>(std::lround(rgb[k] * double(max) / 255));
    v |= level << std::countr_zero(masks[k]);
  }
  return v;
}

TEST(BmpDecoding, TrueColourDepthsGiveRgb0To255) {
  struct Row {
    const char* name;
    BmpLayout layout;
    std::array<std::uint32_t, 3> masks;  // where the writer puts red, green and blue
    int bits_per_channel[3];
  };
  const Row rows[] = {
      {"24 bits", {.bits = 24}, {0xFF0000, 0xFF00, 0xFF}, {8, 8, 8}},
      {"24 bits top-down", {.bits = 24, .top_down = true}, {0xFF0000, 0xFF00, 0xFF}, {8, 8, 8}},
      {"24 bits, old header", {.bits = 24, .header_size = 12}, {0xFF0000, 0xFF00, 0xFF}, {8, 8, 8}},
      {"32 bits plain", {.bits = 32}, {0xFF0000, 0xFF00, 0xFF}, {8, 8, 8}},
      {"32 bits masks after header",
       {.bits = 32, .compression = 3, .masks = {0xFF, 0xFF00, 0xFF0000}},
       {0xFF, 0xFF00, 0xFF0000},
       {8, 8, 8}},
      {"32 bits masks in long header",
       {.bits = 32, .header_size = 108, .compression = 3, .masks = {0xFF000000, 0xFF0000, 0xFF00}},
       {0xFF000000, 0xFF0000, 0xFF00},
       {8, 8, 8}},
      {"16 bits 5-5-5", {.bits = 16}, {0x7C00, 0x3E0, 0x1F}, {5, 5, 5}},
      {"16 bits 5-6-5 top-down",
       {.bits = 16, .compression = 3, .top_down = true, .masks = {0xF800, 0x7E0, 0x1F}},
       {0xF800, 0x7E0, 0x1F},
       {5, 6, 5}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    int bpc[3] = {row.bits_per_channel[0], row.bits_per_channel[1], row.bits_per_channel[2]};
    const auto file = make_bmp(row.layout, kWidth, kHeight, [&](int r, int c) {
      return pack(colour_at(r, c), row.masks, bpc);
    });
    const Picture p = decode_bmp(file);
    ASSERT_EQ(p.channels, 3u);
    ASSERT_EQ(p.height, std::size_t{kHeight});
    ASSERT_EQ(p.width, std::size_t{kWidth});
    EXPECT_TRUE(p.true_colour_8bit);
    EXPECT_TRUE(p.palette.empty());
    for (int r = 0; r < kHeight; ++r)
      for (int c = 0; c < kWidth; ++c)
        for (int k = 0; k < 3; ++k) {
          // Fewer than 8 bits per channel: within one step of the channel's scale.
          const double tolerance = 255.0 / ((1 << bpc[k]) - 1) / 2 + 0.5;
          EXPECT_NEAR(p.at(r, c, k), colour_at(r, c)[k], tolerance) << r << "," << c << "," << k;
        }
  }
}

TEST(BmpDecoding, ExtremesOfAChannelMapOntoZeroAnd255) {
  const auto file = make_bmp({.bits = 16}, 2, 1, [](int, int c) { return c ? 0x7FFFu : 0u; });
  const Picture p = decode_bmp(file);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(p.at(0, 0, k), 0);
    EXPECT_EQ(p.at(0, 1, k), 255);
  }
}

void put32(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(BmpDecoding, DamagedFilesAreRefusedWithAReason) {
  const auto good = make_bmp({.bits = 24}, kWidth, kHeight, [](int, int) { return 0x123456u; });
  ASSERT_NO_THROW(decode_bmp(good));
  struct Row {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    const char* reason;
  };
  const Row rows[] = {
      {"pixel data cut short", [](auto& f) { f.resize(f.size() - 4); }, "holds only"},
      {"only the file header", [](auto& f) { f.resize(14); }, "ends inside the information header"},
      {"header cut short", [](auto& f) { f.resize(30); }, "ends inside the information header"},
      {"huge width and height", [](auto& f) { put32(f, 18, 100000); put32(f, 22, 100000); },
       "claims 100000 by 100000 pixels"},
      {"largest width", [](auto& f) { put32(f, 18, 0x7FFFFFFF); }, "claims 2147483647 by 3"},
      {"most negative height", [](auto& f) { put32(f, 22, 0x80000000u); }, "claims 5 by 2147483648"},
      {"zero width", [](auto& f) { put32(f, 18, 0); }, "width is 0"},
      {"negative width", [](auto& f) { put32(f, 18, 0xFFFFFFFFu); }, "width is -1"},
      {"zero height", [](auto& f) { put32(f, 22, 0); }, "height is 0"},
      {"pixels beyond the end", [](auto& f) { put32(f, 10, 0xFFFFFFF0u); }, "holds only 0 bytes"},
      {"unknown header size", [](auto& f) { put32(f, 14, 20); }, "unknown size of 20"},
      {"huge header size", [](auto& f) { put32(f, 14, 0xFFFFFFFFu); }, "unknown size"},
      {"7 bits per pixel", [](auto& f) { f[28] = 7; }, "7 bits per pixel"},
      {"run-length compression", [](auto& f) { put32(f, 30, 1); }, "run-length"},
      {"unknown compression", [](auto& f) { put32(f, 30, 9); }, "compression method 9"},
      {"masks on 24 bits", [](auto& f) { put32(f, 30, 3); }, "colour masks with 24 bits"},
      {"not a bitmap", [](auto& f) { f[0] = 'X'; }, "does not start with"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto f = good;
    row.damage(f);
    try {
      decode_bmp(f);
      ADD_FAILURE() << "decoded";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(row.reason), std::string::npos) << e.what();
    }
  }
}

TEST(BmpDecoding, EmptyColourMaskIsRefused) {
  const auto f = make_bmp({.bits = 32, .compression = 3, .masks = {0xFF, 0, 0xFF0000}}, 2, 2,
                          [](int, int) { return 0u; });
  EXPECT_THROW(decode_bmp(f), RuntimeError);
}

TEST(PictureValues, RoundTripAndPalette) {
  const auto file = make_bmp({.bits = 8}, kWidth, kHeight, [](int r, int c) { return index_at(r, c, 8); });
  const Picture p = decode_bmp(file);
  const Value v = to_value(p);
  EXPECT_EQ(v.dims(), (Value::Dims{kHeight, kWidth}));
  EXPECT_EQ(v.at(1), index_at(0, 0, 8));  // column order: (1,1) first, then (2,1)
  EXPECT_EQ(v.at(2), index_at(1, 0, 8));
  const Picture back = picture_from_value(v);
  EXPECT_EQ(back.data, p.data);
  EXPECT_EQ(palette_value(p).dims(), (Value::Dims{256, 3}));

  const auto rgb = decode_bmp(make_bmp({.bits = 24}, 2, 2, [](int, int) { return 0xFF8000u; }));
  const Picture rgb_back = picture_from_value(to_value(rgb));
  EXPECT_EQ(rgb_back.channels, 3u);
  EXPECT_TRUE(rgb_back.true_colour_8bit);
  EXPECT_TRUE(palette_value(rgb).is_empty());

  EXPECT_THROW(picture_from_value(Value::text("logo")), RuntimeError);
  EXPECT_THROW(picture_from_value(Value::numeric({2, 2, 2}, std::vector<double>(8))), RuntimeError);
}

}  // namespace
}  // namespace quorin::annotation
