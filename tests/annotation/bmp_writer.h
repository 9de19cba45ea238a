// Builds small bitmap files in memory for the reader's tests.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace quorin::annotation::testing {

struct BmpLayout {
  unsigned bits = 24;
  std::uint32_t header_size = 40;  // 12, 40, 52, 56, 108 or 124
  std::uint32_t compression = 0;   // 0 plain, 3 colour masks
  bool top_down = false;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue with compression 3
  bool pad_last_row = true;
};

// `pixel(r, c)` gives the stored value of the pixel in picture row r (0 at the top) and
// column c: a palette index, or for 24 bits 0xRRGGBB, or the 16/32-bit word as stored.
// Palette entry i is (red i, green 255 - i, blue i / 2).
inline std::vector<std::uint8_t> make_bmp(const BmpLayout& l, int width, int height,
                                          const std::function<std::uint32_t(int, int)>& pixel) {
  std::vector<std::uint8_t> out;
  auto put = [&out](std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  const bool core = l.header_size == 12;
  const std::uint32_t palette = l.bits <= 8 ? (1u << l.bits) : 0;
  const std::uint32_t masks_after = l.compression == 3 && l.header_size == 40 ? 12 : 0;
  const std::uint32_t offset = 14 + l.header_size + masks_after + palette * (core ? 3 : 4);
  const std::size_t stride = (static_cast<std::size_t>(width) * l.bits + 31) / 32 * 4;

  out.push_back('B');
  out.push_back('M');
  put(0, 4);  // file size, filled in below
  put(0, 4);
  put(offset, 4);
  const std::size_t info = out.size();
  put(l.header_size, 4);
  if (core) {
    put(static_cast<std::uint32_t>(width), 2);
    put(static_cast<std::uint32_t>(height), 2);
    put(1, 2);
    put(l.bits, 2);
  } else {
    put(static_cast<std::uint32_t>(width), 4);
    put(static_cast<std::uint32_t>(l.top_down ? -height : height), 4);
    put(1, 2);
    put(l.bits, 2);
    put(l.compression, 4);
    put(0, 4);  // image size may be 0 for plain pictures
    put(2835, 4);
    put(2835, 4);
    put(0, 4);  // palette count 0: all entries
    put(0, 4);
    if (l.compression == 3 || l.header_size > 40)
      for (auto m : l.masks) put(m, 4);
    while (out.size() < info + l.header_size + masks_after) out.push_back(0);
  }
  for (std::uint32_t i = 0; i < palette; ++i) {
    out.push_back(static_cast<std::uint8_t>(i / 2));
    out.push_back(static_cast<std::uint8_t>(255 - i));
    out.push_back(static_cast<std::uint8_t>(i));
    if (!core) out.push_back(0);
  }
  for (int i = 0; i < height; ++i) {
    const int r = l.top_down ? i : height - 1 - i;
    std::vector<std::uint8_t> row(stride, 0);
    for (int c = 0; c < width; ++c) {
      const std::uint32_t v = pixel(r, c);
      switch (l.bits) {
        case 1: row[c / 8] |= static_cast<std::uint8_t>((v & 1) << (7 - c % 8)); break;
        case 4: row[c / 2] |= static_cast<std::uint8_t>((v & 0xF) << (c % 2 ? 0 : 4)); break;
        case 8: row[c] = static_cast<std::uint8_t>(v); break;
        default:
          for (unsigned b = 0; b < l.bits / 8; ++b)
            row[c * (l.bits / 8) + b] = static_cast<std::uint8_t>(v >> (8 * b));
      }
    }
    if (i == height - 1 && !l.pad_last_row) row.resize((static_cast<std::size_t>(width) * l.bits + 7) / 8);
    out.insert(out.end(), row.begin(), row.end());
  }
  const auto size = static_cast<std::uint32_t>(out.size());
  for (int i = 0; i < 4; ++i) out[2 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  return out;
}

}  // namespace quorin::annotation::testing
