// Builds dyno files byte by byte for the reader's tests, the benchmark and the fuzz seeds.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace quorin::test {

class DynoBytes {
 public:
  std::vector<std::uint8_t> bytes;

  DynoBytes& raw(std::initializer_list<std::uint8_t> b) {
    bytes.insert(bytes.end(), b);
    return *this;
  }
  template <typename T>
  DynoBytes& le(T v) {
    std::uint8_t b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));  // the test machines are little-endian
    bytes.insert(bytes.end(), b, b + sizeof(T));
    return *this;
  }
  DynoBytes& code(std::int16_t c) { return le(c); }
  DynoBytes& i16(std::int16_t v) { return code(2).le(v); }  // a type 2 variant
  DynoBytes& f32(float v) { return code(4).le(v); }
  DynoBytes& f64(double v) { return code(5).le(v); }
  DynoBytes& text(const std::string& s) {
    code(8).le(static_cast<std::int16_t>(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  // A channel data block: descriptor (type code, 16-bit value, count, four bytes), samples.
  DynoBytes& block(const std::vector<float>& samples, std::uint32_t length) {
    code(4).le(std::int16_t{0}).le(length).le(std::int32_t{0});
    for (float s : samples) le(s);
    return *this;
  }
  DynoBytes& block(const std::vector<float>& samples) {
    return block(samples, static_cast<std::uint32_t>(samples.size()));
  }

  // Items 1 to 7: version as item 2, property count as item 5.
  DynoBytes& header(std::int16_t version, std::int16_t prop_count) {
    i16(0).i16(version).i16(0).i16(0).i16(prop_count).i16(0).i16(0);
    return *this;
  }
  // Items 9 to 12 (seal drag 4.5 with `seal_unit`, temperature 20 Celcius, stroke 2 inch,
  // peak velocity 10 ips), and item 13 when the version is above 1.
  DynoBytes& pairs(std::int16_t version, std::int16_t seal_unit = 9) {
    f32(4.5f).i16(seal_unit).i16(20).i16(13).f32(2).i16(1).f32(10).i16(5);
    if (version > 1) i16(7).f64(0.25);
    return *this;
  }
  // One page: period 0.5 s (`period_unit`), gas test 30 N, speed 10 ips, in version 4 a
  // stroke of 1.5 inch, then Velocity and Force channels of the given samples.
  DynoBytes& page(std::int16_t version, const std::vector<float>& velocity,
                  const std::vector<float>& force, std::int16_t period_unit = 19) {
    f32(0.5f).i16(period_unit).i16(30).i16(10).i16(10).i16(5);
    if (version == 4) f32(1.5f).i16(1);
    i16(1);
    text("Velocity").i16(0).i16(5).block(velocity);
    text("Force").i16(0).i16(9).block(force);
    return *this;
  }
  // A whole file of `pages` pages with the same two channels.
  static DynoBytes file(std::int16_t version, std::int16_t pages,
                        const std::vector<float>& velocity = {-1.5f, 2.25f},
                        const std::vector<float>& force = {-30.f, 45.5f}) {
    DynoBytes f;
    f.header(version, 0).pairs(version).i16(static_cast<std::int16_t>(pages - 1));
    for (int p = 0; p < pages; ++p) f.page(version, velocity, force);
    return f;
  }
};

}  // namespace quorin::test
