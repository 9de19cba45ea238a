// Decoding Windows bitmap (BMP) files into pixel arrays, and the pixel array the image
// functions pass around.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "services/value.h"

namespace quorin::annotation {

// A picture: height rows by width columns by `channels` (1: palette indices or grey levels,
// 3: red, green, blue). Element (r, c, k) is data[(k * width + c) * height + r], row 0 at the
// top of the picture.
struct Picture {
  std::size_t height = 0, width = 0, channels = 1;
  std::vector<double> data;
  bool true_colour_8bit = false;  // channels 3 with values 0..255
  // The file's palette for palette pictures, components 0..1; empty otherwise.
  std::vector<std::array<double, 3>> palette;

  double at(std::size_t r, std::size_t c, std::size_t k = 0) const {
    return data[(k * width + c) * height + r];
  }
};

// True when the bytes start like a bitmap file ("BM").
bool looks_like_bmp(std::span<const std::uint8_t> bytes);

// Decodes a bitmap: 1-, 4- and 8-bit palette pictures give their palette indices (0 .. n-1)
// as one channel; 16-, 24- and 32-bit pictures give red, green and blue as 0..255. Rows
// stored bottom-up or top-down, uncompressed or with channel bit masks. Throws RuntimeError
// naming what is wrong for a damaged, truncated or unsupported file; a header that claims
// more pixels than the file holds is refused before anything large is allocated.
Picture decode_bmp(std::span<const std::uint8_t> bytes);

// The picture as an h by w or h by w by 3 numeric value.
Value to_value(const Picture& p);
// A numeric h by w or h by w by 3 value as a picture; colours above 1 are taken as 8-bit
// values. Throws RuntimeError for anything else.
Picture picture_from_value(const Value& v);
// The palette as an n by 3 value of components in 0..1 (empty for true-colour pictures).
Value palette_value(const Picture& p);

}  // namespace quorin::annotation
