#include "annotation/bmp.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>
#include <string>

#include "services/runtime_error.h"

namespace quorin::annotation {
namespace {

[[noreturn]] void damaged(const std::string& why) {
  throw RuntimeError("The bitmap file is damaged or not supported: " + why + ".");
}

// Every byte of the file is read through this reader: little-endian values at absolute
// offsets, each checked against the end of the file.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t size() const { return bytes_.size(); }

  // The n bytes at `at`; throws when they run past the end of the file.
  std::span<const std::uint8_t> bytes(std::uint64_t at, std::uint64_t n, const char* what) const {
    if (at > bytes_.size() || n > bytes_.size() - at)
      damaged(std::string("the file ends inside the ") + what);
    return bytes_.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(n));
  }
  std::uint8_t u8(std::uint64_t at, const char* what) const { return bytes(at, 1, what)[0]; }
  std::uint16_t u16(std::uint64_t at, const char* what) const {
    auto b = bytes(at, 2, what);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
  }
  std::uint32_t u32(std::uint64_t at, const char* what) const {
    auto b = bytes(at, 4, what);
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
  }
  std::int32_t i32(std::uint64_t at, const char* what) const {
    return static_cast<std::int32_t>(u32(at, what));
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6;
constexpr std::uint64_t kFileHeaderSize = 14;

// One colour channel held in a bit mask of a 16- or 32-bit pixel, scaled onto 0..255.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;

  explicit Channel(std::uint32_t m) : mask(m) {
    if (m == 0) damaged("a colour mask is empty");
    shift = std::countr_zero(m);
    max = m >> shift;
  }
  double operator()(std::uint32_t pixel) const {
    const std::uint64_t v = (pixel & mask) >> shift;
    return static_cast<double>((v * 255 + max / 2) / max);
  }
};

struct Header {
  std::uint64_t width = 0, height = 0;
  bool top_down = false;
  unsigned bits = 0;
  std::uint32_t compression = kRgb;
  std::uint64_t header_size = 0;   // of the information header
  std::uint64_t palette_at = 0;    // first palette entry
  std::size_t palette_entry = 4;   // bytes per palette entry
  std::uint64_t palette_count = 0;
  std::uint64_t pixels_at = 0;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue
};

Header read_header(const ByteReader& in) {
  Header h;
  if (in.size() < 2 || in.u8(0, "file header") != 'B' || in.u8(1, "file header") != 'M')
    damaged("it does not start with \"BM\"");
  h.pixels_at = in.u32(10, "file header");
  h.header_size = in.u32(kFileHeaderSize, "information header");
  const std::uint64_t info = kFileHeaderSize;
  std::int64_t width = 0, height = 0;
  if (h.header_size == 12) {
    // The oldest form: 16-bit sizes, 3-byte palette entries.
    width = in.u16(info + 4, "information header");
    height = in.u16(info + 6, "information header");
    h.bits = in.u16(info + 10, "information header");
    h.palette_entry = 3;
  } else if (h.header_size >= 40 && h.header_size <= 124) {
    width = in.i32(info + 4, "information header");
    height = in.i32(info + 8, "information header");
    h.bits = in.u16(info + 14, "information header");
    h.compression = in.u32(info + 16, "information header");
    h.palette_count = in.u32(info + 32, "information header");
  } else {
    damaged("its information header has an unknown size of " + std::to_string(h.header_size) +
            " bytes");
  }
  in.bytes(info, h.header_size, "information header");

  if (width <= 0) damaged("its width is " + std::to_string(width));
  h.top_down = height < 0;
  h.height = static_cast<std::uint64_t>(height < 0 ? -height : height);  // int64: no overflow
  h.width = static_cast<std::uint64_t>(width);
  if (h.height == 0) damaged("its height is 0");

  std::uint64_t after_header = info + h.header_size;
  switch (h.compression) {
    case kRgb:
      if (h.bits == 16) h.masks = {0x7C00, 0x03E0, 0x001F};
      if (h.bits == 32) h.masks = {0xFF0000, 0x00FF00, 0x0000FF};
      break;
    case kBitfields:
    case kAlphaBitfields:
      if (h.bits != 16 && h.bits != 32)
        damaged("colour masks with " + std::to_string(h.bits) + " bits per pixel");
      // The masks follow a 40-byte header and are part of the longer ones.
      for (std::size_t i = 0; i < 3; ++i) h.masks[i] = in.u32(info + 40 + 4 * i, "colour masks");
      if (h.header_size == 40) after_header += h.compression == kAlphaBitfields ? 16 : 12;
      break;
    case kRle8:
    case kRle4:
      damaged("run-length compressed pictures are not supported");
    default:
      damaged("compression method " + std::to_string(h.compression) + " is not supported");
  }
  switch (h.bits) {
    case 1:
    case 4:
    case 8: {
      const std::uint64_t most = std::uint64_t{1} << h.bits;
      if (h.palette_count == 0 || h.palette_count > most) h.palette_count = most;
      break;
    }
    case 16:
    case 24:
    case 32: h.palette_count = 0; break;
    default: damaged(std::to_string(h.bits) + " bits per pixel");
  }
  h.palette_at = after_header;
  return h;
}

}  // namespace

bool looks_like_bmp(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

Picture decode_bmp(std::span<const std::uint8_t> bytes) {
  const ByteReader in(bytes);
  const Header h = read_header(in);

  // Rows are padded to whole 32-bit words; the last row may lack its padding. A row needs
  // less than 2^34 bytes (width below 2^31, at most 32 bits per pixel); the row count is
  // checked by division, so nothing here overflows.
  const std::uint64_t row_bits = h.width * h.bits;
  const std::uint64_t stride = (row_bits + 31) / 32 * 4;
  const std::uint64_t last_row = (row_bits + 7) / 8;
  const std::uint64_t avail = in.size() - std::min<std::uint64_t>(in.size(), h.pixels_at);
  if (h.pixels_at > in.size() || last_row > avail || h.height - 1 > (avail - last_row) / stride)
    damaged("it claims " + std::to_string(h.width) + " by " + std::to_string(h.height) +
            " pixels but holds only " +
            std::to_string(avail) + " bytes of pixel data");

  Picture p;
  p.height = static_cast<std::size_t>(h.height);
  p.width = static_cast<std::size_t>(h.width);
  p.channels = h.bits <= 8 ? 1 : 3;
  p.true_colour_8bit = p.channels == 3;
  // At least one bit per pixel is in the file, so this is bounded by eight times its size.
  p.data.resize(p.height * p.width * p.channels);

  // The palette: as many entries as lie between the headers and the pixels.
  if (h.palette_count > 0 && h.palette_at <= h.pixels_at) {
    const std::uint64_t room = (h.pixels_at - h.palette_at) / h.palette_entry;
    const std::uint64_t n = std::min(h.palette_count, room);
    auto raw = in.bytes(h.palette_at, n * h.palette_entry, "palette");
    for (std::uint64_t i = 0; i < n; ++i) {
      const auto* e = &raw[i * h.palette_entry];  // blue, green, red
      p.palette.push_back({e[2] / 255.0, e[1] / 255.0, e[0] / 255.0});
    }
  }

  // Colour masks of 16- and 32-bit pictures (red, green, blue); none for the other depths.
  std::vector<Channel> channels;
  if (h.bits == 16 || h.bits == 32)
    for (int k = 0; k < 3; ++k) channels.emplace_back(h.masks[k]);
  const std::size_t plane = p.height * p.width;
  for (std::uint64_t i = 0; i < h.height; ++i) {
    const auto row = in.bytes(h.pixels_at + i * stride, last_row, "pixel data");
    const std::size_t r = static_cast<std::size_t>(h.top_down ? i : h.height - 1 - i);
    for (std::size_t c = 0; c < p.width; ++c) {
      double* px = &p.data[c * p.height + r];
      switch (h.bits) {
        case 1: px[0] = (row[c / 8] >> (7 - c % 8)) & 1; break;
        case 4: px[0] = (row[c / 2] >> (c % 2 ? 0 : 4)) & 0xF; break;
        case 8: px[0] = row[c]; break;
        case 24:
          px[0] = row[3 * c + 2];
          px[plane] = row[3 * c + 1];
          px[2 * plane] = row[3 * c];
          break;
        case 16:
        case 32: {
          std::uint32_t v = 0;
          const std::size_t n = h.bits / 8;
          for (std::size_t b = 0; b < n; ++b) v |= std::uint32_t{row[n * c + b]} << (8 * b);
          px[0] = channels[0](v);
          px[plane] = channels[1](v);
          px[2 * plane] = channels[2](v);
          break;
        }
      }
    }
  }
  return p;
}

Value to_value(const Picture& p) {
  if (p.channels == 1) return Value::numeric({p.height, p.width}, p.data);
  return Value::numeric({p.height, p.width, p.channels}, p.data);
}

Picture picture_from_value(const Value& v) {
  const auto& d = v.dims();
  const bool ok = v.is_numeric() && (d.size() == 2 || (d.size() == 3 && (d[2] == 1 || d[2] == 3)));
  if (!ok)
    throw RuntimeError("The picture must be an h by w or h by w by 3 array of numbers, not " +
                       describe(v) + ".");
  Picture p;
  p.height = d[0];
  p.width = d[1];
  p.channels = d.size() == 3 ? d[2] : 1;
  p.data = v.numbers();
  p.true_colour_8bit = p.channels == 3 && std::any_of(p.data.begin(), p.data.end(),
                                                      [](double x) { return x > 1; });
  return p;
}

Value palette_value(const Picture& p) {
  const std::size_t n = p.palette.size();
  if (n == 0) return Value();
  std::vector<double> d(3 * n);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t k = 0; k < 3; ++k) d[k * n + i] = p.palette[i][k];
  return Value::numeric({n, 3}, std::move(d));
}

}  // namespace quorin::annotation
