// A scratch start folder holding small data files of the right names and shapes (valving
// tables, window data, two logos), for window and start-up tests that must not depend on the
// shipped data. Removed with everything in it when the test ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "services/value.h"
#include "services/varfile.h"

namespace quorin::test {

// A 24-bit bottom-up bitmap of width by height pixels whose colour follows the pixel's place.
inline std::string bitmap_24(int width, int height) {
  const int stride = (width * 3 + 3) / 4 * 4;
  const std::uint32_t size = 54 + static_cast<std::uint32_t>(stride * height);
  std::string b;
  auto u16 = [&](std::uint32_t v) { b += char(v & 0xff); b += char((v >> 8) & 0xff); };
  auto u32 = [&](std::uint32_t v) { u16(v & 0xffff); u16(v >> 16); };
  b += "BM";
  u32(size); u32(0); u32(54);
  u32(40); u32(static_cast<std::uint32_t>(width)); u32(static_cast<std::uint32_t>(height));
  u16(1); u16(24); u32(0); u32(size - 54); u32(2835); u32(2835); u32(0); u32(0);
  for (int row = 0; row < height; ++row) {
    std::string line;
    for (int col = 0; col < width; ++col) {
      line += char(col % 256); line += char(row % 256); line += char(200);
    }
    line.resize(static_cast<std::size_t>(stride), '\0');
    b += line;
  }
  return b;
}

inline Value colour_rows(std::size_t n) {
  std::vector<double> d(n * 3);
  for (std::size_t r = 0; r < n; ++r)
    for (std::size_t k = 0; k < 3; ++k) d[k * n + r] = double(r) / double(n - 1 ? n - 1 : 1);
  return Value::numeric({n, 3}, d);
}

inline Value picture(std::size_t h, std::size_t w) {
  return Value::numeric({h, w}, std::vector<double>(h * w, 1.0));
}

inline Value rows_text(int first, int last) {
  std::vector<std::string> items;
  for (int i = first; i <= last; ++i) items.push_back(std::to_string(i));
  return Value::text_list(items);
}

inline Value named_rows(const std::string& stem, int n) {
  std::vector<std::string> items;
  for (int i = 1; i <= n; ++i) items.push_back(stem + std::to_string(i));
  return Value::text_list(items);
}

// A valving table of `valves` by `springs` cells, each a record array of two high-speed
// entries whose `data` rows hold `scale` times a small curve.
inline Value valving_table(std::size_t valves, std::size_t springs, double scale) {
  Value t = Value::cell(valves, springs);
  for (std::size_t i = 1; i <= valves * springs; ++i) {
    std::vector<std::vector<Value>> entries;
    for (int h = 1; h <= 2; ++h) entries.push_back({Value::row({0, scale * h, 2 * scale * h})});
    t.cell_ref(i) = Value::records({1, 2}, {"data"}, entries);
  }
  return t;
}

class StartFolderFixture {
 public:
  StartFolderFixture() {
    static std::atomic<unsigned> n{0};
    path_ = std::filesystem::temp_directory_path() /
            ("quorin-win-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_ / "data");
    write_all();
  }
  ~StartFolderFixture() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  StartFolderFixture(const StartFolderFixture&) = delete;
  StartFolderFixture& operator=(const StartFolderFixture&) = delete;

  const std::filesystem::path& path() const { return path_; }

  void write_all() {
    save_variables(path_ / "quorin_matrix_2007_v1",
                   {{"compvel", valving_table(12, 4, 0.1)},
                    {"compforce", valving_table(12, 4, 500)},
                    {"rebvel", valving_table(12, 4, 0.1)},
                    {"rebforce", valving_table(12, 4, 700)},
                    {"counter", Value::number(99)}});
    save_variables(path_ / "quorin_interface_v41", interface_variables());
    save_variables(path_ / "plotfigure",
                   {{"mat0", colour_rows(64)}, {"mat1", colour_rows(7)}, {"mat2", colour_rows(7)},
                    {"mat3", Value::row({0.73, 0.3, 0.25, 0.6})}, {"mat4", Value::row({0.5, 0.5, 0})},
                    {"mat5", colour_rows(7)}, {"mat6", picture(78, 167)}});
    const NamedValues turn = {{"mat0", colour_rows(64)}, {"mat1", colour_rows(7)},
                              {"mat2", colour_rows(7)},  {"mat3", colour_rows(7)},
                              {"mat4", colour_rows(7)},  {"mat5", picture(78, 167)}};
    save_variables(path_ / "lht", turn);
    NamedValues right = turn;
    right.push_back({"mat6", Value::row({84, 90, 1})});
    save_variables(path_ / "rht", right);
    save_variables(path_ / "warningCT", {{"mat0", colour_rows(64)}, {"mat1", Value::number(10)}});
    std::ofstream(path_ / "logo_small.bmp", std::ios::binary) << bitmap_24(115, 51);
    std::ofstream(path_ / "logo_plot.bmp", std::ios::binary) << bitmap_24(167, 78);
  }

  static NamedValues interface_variables() {
    return {{"mat0", colour_rows(64)},
            {"mat1", Value::text("Clears the plot")},
            {"mat2", rows_text(0, 30)},
            {"mat3", rows_text(0, 20)},
            {"mat4", rows_text(0, 20)},
            {"mat5", rows_text(0, 30)},
            {"mat6", Value::text("quorin_processor_ct('import')")},
            {"mat7", Value::text("Imports a text curve")},
            {"mat8", Value::text("quorin_processor_ct('export')")},
            {"mat9", Value::text("Exports the selected curve")},
            {"mat10", Value::text("quorin_processor_ct('save')")},
            {"mat11", Value::text("quorin_processor_ct('load')")},
            {"mat12", Value::text("quorin_processor_ct('roehrig')")},
            {"mat13", Value::text("Draws the third valve curve")},
            {"mat14", named_rows("CV00000 stack", 12)},
            {"mat15", named_rows("RV00000 stack", 12)},
            {"mat16", named_rows("spring ", 4)},
            {"mat17", named_rows("spring ", 4)},
            {"mat18", colour_rows(7)},
            {"mat19", picture(51, 115)},
            {"mat20", Value::row({-10, 26, 1})},
            {"mat21", colour_rows(7)}};
  }

 private:
  std::filesystem::path path_;
};

}  // namespace quorin::test
