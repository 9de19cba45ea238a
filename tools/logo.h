// The Mivra logo: an emblem (a coil-over damper in a ringed disc) and the word "Mivra" drawn
// with built-in stroke glyphs, rasterised with exact 4x4 supersampling so the pixels are the
// same on every machine; the brand colour map and the 24-bit bitmap encoding.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "services/value.h"

namespace quorin::datagen {

struct Rgb {
  int r, g, b;
};

// A true-colour picture, rows from the top, 8-bit channels.
struct Picture {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;  // pixels[row * width + column]
  const Rgb& at(int column, int row) const { return pixels[row * width + column]; }
};

Picture draw_logo(int width, int height);

// The brand colour map of every window: row 1 black, then 21 steps each from black to blue,
// to white and to yellow (64 rows).
std::array<Rgb, 64> brand_colormap();
Value colormap_value();  // 64 by 3, components in 0..1

// The picture as colour-map rows 1..64 (nearest colour), height by width: shown with scaled
// colour mapping it reproduces the logo through the brand colour map.
Value index_picture(const Picture& p);

// Windows bitmap, 24 bits per pixel, bottom-up rows padded to four bytes.
std::vector<unsigned char> encode_bmp24(const Picture& p);

}  // namespace quorin::datagen
