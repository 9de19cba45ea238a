// Packed files: arrays of every size around the writer's buffer come back bit for bit, in the
// order written, whatever small fields stand between them; a changed byte is refused whole.
#include "services/packed_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "services/runtime_error.h"
#include "services/temp_dir.h"

namespace quorin {
namespace {

constexpr std::string_view kTitle = "packed test";
// The writer gathers small fields in a buffer of 1 MB and writes larger arrays straight out.
constexpr std::size_t kBufferDoubles = (std::size_t{1} << 20) / sizeof(double);

std::vector<double> numbers(std::size_t n, double seed) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = seed + static_cast<double>(i) * 0.125;
  if (n > 2) v[n / 2] = std::numeric_limits<double>::quiet_NaN();
  if (n > 3) v[n - 1] = -std::numeric_limits<double>::infinity();
  return v;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

TEST(PackedFile, ArraysAroundTheBufferSizeComeBackBitForBit) {
  const std::size_t sizes[] = {0,
                               1,
                               kBufferDoubles - 1,
                               kBufferDoubles,
                               kBufferDoubles + 1,
                               3 * kBufferDoubles + 5,
                               7};
  test::TempDir dir;
  const auto file = dir.path() / "arrays.pack";
  std::vector<std::vector<double>> written;
  {
    PackWriter w(file, kTitle, 1);
    for (std::size_t k = 0; k < std::size(sizes); ++k) {
      w.text("array " + std::to_string(k));  // a small field before each array
      written.push_back(numbers(sizes[k], static_cast<double>(k)));
      w.doubles(written.back());
      w.f64(static_cast<double>(k) + 0.5);
    }
    w.commit();
  }
  PackReader r(file, kTitle, 1);
  for (std::size_t k = 0; k < std::size(sizes); ++k) {
    EXPECT_EQ(r.text(64), "array " + std::to_string(k));
    EXPECT_TRUE(same_bits(r.doubles(), written[k])) << "array of " << sizes[k];
    EXPECT_EQ(r.f64(), static_cast<double>(k) + 0.5);
  }
  EXPECT_NO_THROW(r.finish());

  // One byte changed inside the largest array: the file is refused by its checksum.
  std::string bytes;
  {
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  bytes[bytes.size() / 2] ^= 0x10;
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  EXPECT_THROW(
      {
        PackReader damaged(file, kTitle, 1);
        for (std::size_t k = 0; k < std::size(sizes); ++k) {
          damaged.text(64);
          damaged.doubles();
          damaged.f64();
        }
        damaged.finish();
      },
      RuntimeError);
}

// Columns written as rows read back as the same numbers in row order, for blocks of rows
// that end anywhere around the writer's buffer.
TEST(PackedFile, ColumnsWrittenAsRowsComeBackInRowOrder) {
  const std::pair<std::size_t, std::size_t> shapes[] = {
      {0, 3}, {1, 3}, {5, 1}, {kBufferDoubles / 3, 3}, {kBufferDoubles / 3 + 1, 3},
      {kBufferDoubles / 3 + 2, 3}, {2 * kBufferDoubles + 7, 3}, {kBufferDoubles + 1, 1},
      {9, 0}};
  test::TempDir dir;
  const auto file = dir.path() / "rows.pack";
  std::vector<std::vector<double>> expected;
  {
    PackWriter w(file, kTitle, 1);
    for (const auto& [rows, cols] : shapes) {
      std::vector<std::vector<double>> columns;
      std::vector<const double*> starts;
      for (std::size_t c = 0; c < cols; ++c) columns.push_back(numbers(rows, 10.0 * c));
      for (const auto& c : columns) starts.push_back(c.data());
      std::vector<double> row_order;
      for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < cols; ++c) row_order.push_back(columns[c][r]);
      expected.push_back(row_order);
      w.rows_of(starts, rows);
    }
    w.commit();
  }
  PackReader r(file, kTitle, 1);
  for (std::size_t k = 0; k < std::size(shapes); ++k)
    EXPECT_TRUE(same_bits(r.doubles(), expected[k]))
        << shapes[k].first << " rows of " << shapes[k].second;
  EXPECT_NO_THROW(r.finish());
}

}  // namespace
}  // namespace quorin
