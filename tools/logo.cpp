#include "logo.h"

#include <algorithm>
#include <functional>

namespace quorin::datagen {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kBlue{0, 90, 171};
constexpr Rgb kYellow{248, 190, 44};
constexpr Rgb kWhite{255, 255, 255};

// The logo is designed on a 230 by 102 unit board (y downwards) and scaled to fit.
constexpr double kBoardWidth = 230;
constexpr double kBoardHeight = 102;

struct Point {
  double x, y;
};
using Polyline = std::vector<Point>;

double distance2_to_segment(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
  return ex * ex + ey * ey;
}

// A stroked set of polylines with round caps and joins.
struct Stroke {
  std::vector<Polyline> lines;
  double half_width;
  bool contains(Point p) const {
    const double w2 = half_width * half_width;
    for (const Polyline& l : lines) {
      if (l.size() == 1 && distance2_to_segment(p, l[0], l[0]) <= w2) return true;
      for (std::size_t i = 1; i < l.size(); ++i)
        if (distance2_to_segment(p, l[i - 1], l[i]) <= w2) return true;
    }
    return false;
  }
};

// Points on a quarter ellipse from the rational parametrisation ((1-t^2), 2t) / (1+t^2): no
// trigonometric functions, so every machine computes the same coordinates.
Polyline ellipse(Point c, double rx, double ry) {
  std::vector<Point> quarter;
  for (int k = 0; k <= 8; ++k) {
    const double t = k / 8.0;
    quarter.push_back({(1 - t * t) / (1 + t * t), 2 * t / (1 + t * t)});
  }
  Polyline out;
  for (int k = 0; k <= 8; ++k) out.push_back({c.x + rx * quarter[k].x, c.y + ry * quarter[k].y});
  for (int k = 8; k >= 0; --k) out.push_back({c.x - rx * quarter[k].x, c.y + ry * quarter[k].y});
  for (int k = 0; k <= 8; ++k) out.push_back({c.x - rx * quarter[k].x, c.y - ry * quarter[k].y});
  for (int k = 8; k >= 0; --k) out.push_back({c.x + rx * quarter[k].x, c.y - ry * quarter[k].y});
  return out;
}

Polyline quadratic(Point a, Point b, Point c) {
  Polyline out;
  for (int k = 0; k <= 8; ++k) {
    const double t = k / 8.0, u = 1 - t;
    out.push_back({u * u * a.x + 2 * u * t * b.x + t * t * c.x,
                   u * u * a.y + 2 * u * t * b.y + t * t * c.y});
  }
  return out;
}

// The word "Mivra" in glyph units (cap height 1, x-height 0.62, baseline 0, y upwards) with
// each glyph's left edge.
std::vector<Polyline> word_glyphs() {
  std::vector<Polyline> g;
  auto place = [&](double x0, std::vector<Polyline> lines) {
    for (auto& l : lines) {
      for (auto& p : l) p.x += x0;
      g.push_back(std::move(l));
    }
  };
  place(0.0, {{{0, 0}, {0, 1}, {0.4, 0.34}, {0.8, 1}, {0.8, 0}}});                        // M
  place(1.06, {{{0, 0}, {0, 0.62}}, {{0, 0.87}}});                                         // i
  place(1.32, {{{0, 0.62}, {0.25, 0}, {0.5, 0.62}}});                                      // v
  place(2.04, {{{0, 0}, {0, 0.62}}, quadratic({0, 0.34}, {0.06, 0.63}, {0.38, 0.6})});    // r
  place(2.62, {ellipse({0.25, 0.31}, 0.25, 0.31), {{0.5, 0}, {0.5, 0.62}}});              // a
  return g;
}

struct Layer {
  std::function<bool(Point)> inside;
  Rgb colour;
};

std::vector<Layer> logo_layers() {
  std::vector<Layer> layers;
  const Point centre{51, 51};
  auto d2 = [centre](Point p) {
    return (p.x - centre.x) * (p.x - centre.x) + (p.y - centre.y) * (p.y - centre.y);
  };
  layers.push_back({[d2](Point p) { return d2(p) <= 40.0 * 40.0; }, kBlue});
  layers.push_back({[d2](Point p) { return d2(p) > 40.0 * 40.0 && d2(p) <= 45.0 * 45.0; }, kYellow});
  // the damper: shaft, spring perches and body
  layers.push_back({[](Point p) {
                      const bool shaft = p.x >= 48 && p.x <= 54 && p.y >= 14 && p.y <= 50;
                      const bool top = p.x >= 39 && p.x <= 63 && p.y >= 22 && p.y <= 27;
                      const bool body = p.x >= 43 && p.x <= 59 && p.y >= 48 && p.y <= 86;
                      const bool bottom = p.x >= 37 && p.x <= 65 && p.y >= 72 && p.y <= 77;
                      return shaft || top || body || bottom;
                    },
                    kWhite});
  // the coil spring between the perches
  Stroke coil{{{}}, 2.6};
  for (int k = 0; k <= 6; ++k) coil.lines[0].push_back({k % 2 ? 64.0 : 38.0, 27 + 7.5 * k});
  layers.push_back({[coil](Point p) { return coil.contains(p); }, kYellow});
  // the word, italic
  constexpr double cap = 36, left = 106, baseline = 62, slant = 0.2;
  Stroke word{word_glyphs(), 3.6};
  for (auto& l : word.lines)
    for (auto& q : l) q = {left + (q.x + slant * q.y) * cap, baseline - q.y * cap};
  layers.push_back({[word](Point p) { return word.contains(p); }, kYellow});
  // the speed bar under the word
  layers.push_back({[](Point p) {
                      if (p.y < 71 || p.y > 77) return false;
                      const double shift = (77 - p.y) * 0.25;
                      return p.x >= 102 + shift && p.x <= 226 + shift;
                    },
                    kBlue});
  return layers;
}

}  // namespace

Picture draw_logo(int width, int height) {
  Picture pic;
  pic.width = width;
  pic.height = height;
  pic.pixels.assign(static_cast<std::size_t>(width) * height, kBlack);
  const double s = std::min(width / kBoardWidth, height / kBoardHeight);
  const double ox = (width - kBoardWidth * s) / 2, oy = (height - kBoardHeight * s) / 2;
  const std::vector<Layer> layers = logo_layers();
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      Rgb c = kBlack;
      for (const Layer& layer : layers) {
        int n = 0;
        for (int j = 0; j < 4; ++j)
          for (int i = 0; i < 4; ++i)
            n += layer.inside({(col + (i + 0.5) / 4 - ox) / s, (row + (j + 0.5) / 4 - oy) / s});
        c = {(c.r * (16 - n) + layer.colour.r * n + 8) / 16, (c.g * (16 - n) + layer.colour.g * n + 8) / 16,
             (c.b * (16 - n) + layer.colour.b * n + 8) / 16};
      }
      pic.pixels[static_cast<std::size_t>(row) * width + col] = c;
    }
  }
  return pic;
}

std::array<Rgb, 64> brand_colormap() {
  std::array<Rgb, 64> map{};
  map[0] = kBlack;
  const Rgb ends[3] = {kBlue, kWhite, kYellow};
  for (int e = 0; e < 3; ++e)
    for (int k = 1; k <= 21; ++k)
      map[e * 21 + k] = {(ends[e].r * k + 10) / 21, (ends[e].g * k + 10) / 21,
                         (ends[e].b * k + 10) / 21};
  return map;
}

Value colormap_value() {
  const auto map = brand_colormap();
  std::vector<double> data(64 * 3);
  for (std::size_t i = 0; i < 64; ++i) {
    data[i] = map[i].r / 255.0;
    data[64 + i] = map[i].g / 255.0;
    data[128 + i] = map[i].b / 255.0;
  }
  return Value::numeric({64, 3}, std::move(data));
}

Value index_picture(const Picture& p) {
  const auto map = brand_colormap();
  std::vector<double> data(static_cast<std::size_t>(p.width) * p.height);
  for (int col = 0; col < p.width; ++col) {
    for (int row = 0; row < p.height; ++row) {
      const Rgb& c = p.at(col, row);
      int best = 0;
      long best_d = -1;
      for (int i = 0; i < 64; ++i) {
        const long dr = c.r - map[i].r, dg = c.g - map[i].g, db = c.b - map[i].b;
        const long d = dr * dr + dg * dg + db * db;
        if (best_d < 0 || d < best_d) best_d = d, best = i;
      }
      data[static_cast<std::size_t>(col) * p.height + row] = best + 1;
    }
  }
  return Value::numeric({static_cast<std::size_t>(p.height), static_cast<std::size_t>(p.width)},
                        std::move(data));
}

std::vector<unsigned char> encode_bmp24(const Picture& p) {
  const std::uint32_t row_bytes = (static_cast<std::uint32_t>(p.width) * 3 + 3) / 4 * 4;
  const std::uint32_t image_bytes = row_bytes * static_cast<std::uint32_t>(p.height);
  std::vector<unsigned char> out;
  auto u16 = [&](std::uint32_t v) {
    out.push_back(v & 0xff);
    out.push_back((v >> 8) & 0xff);
  };
  auto u32 = [&](std::uint32_t v) {
    u16(v & 0xffff);
    u16(v >> 16);
  };
  out.push_back('B');
  out.push_back('M');
  u32(54 + image_bytes);
  u32(0);
  u32(54);
  u32(40);
  u32(static_cast<std::uint32_t>(p.width));
  u32(static_cast<std::uint32_t>(p.height));  // positive: rows stored bottom-up
  u16(1);
  u16(24);
  u32(0);  // no compression
  u32(image_bytes);
  u32(3780);  // 96 pixels per inch
  u32(3780);
  u32(0);
  u32(0);
  for (int row = p.height - 1; row >= 0; --row) {
    for (int col = 0; col < p.width; ++col) {
      const Rgb& c = p.at(col, row);
      out.push_back(static_cast<unsigned char>(c.b));
      out.push_back(static_cast<unsigned char>(c.g));
      out.push_back(static_cast<unsigned char>(c.r));
    }
    for (std::uint32_t k = static_cast<std::uint32_t>(p.width) * 3; k < row_bytes; ++k) out.push_back(0);
  }
  return out;
}

}  // namespace quorin::datagen
