// Reading and writing variable files of the size of the supplied valving tables.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "services/varfile.h"

namespace {

// A valving-table-like variable: a 6 by 6 cell table of record arrays (31 records) whose
// records hold a row `data` of 120 measured numbers. Four such tables make a file of about 7 MB.
quorin::Value valving_table(double seed) {
  std::vector<quorin::Value> cells;
  for (int c = 0; c < 36; ++c) {
    std::vector<std::vector<quorin::Value>> recs;
    for (int r = 0; r < 31; ++r) {
      std::vector<double> row(120);
      for (std::size_t i = 0; i < row.size(); ++i)
        row[i] = 1000 * std::sqrt(0.001 * static_cast<double>(i) + seed + c) + r / 7.0;
      recs.push_back({quorin::Value::row(std::move(row))});
    }
    cells.push_back(quorin::Value::records({1, 31}, {"data"}, std::move(recs)));
  }
  return quorin::Value::cell({6, 6}, std::move(cells));
}

// The four tables saved once per run; the file is removed when the program ends.
struct SampleFile {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("quorin-bench-" + std::to_string(::getpid()) + ".mat");
  SampleFile() {
    quorin::save_variables(path, {{"compvel", valving_table(0.1)},
                                  {"compforce", valving_table(0.2)},
                                  {"rebvel", valving_table(0.3)},
                                  {"rebforce", valving_table(0.4)}});
  }
  ~SampleFile() { std::filesystem::remove(path); }
};

const std::filesystem::path& sample_file() {
  static const SampleFile file;
  return file.path;
}

void BM_LoadValvingTables(benchmark::State& state) {
  const auto& path = sample_file();
  for (auto _ : state) {
    auto v = quorin::load_variables(path, {"compvel", "compforce", "rebvel", "rebforce"});
    benchmark::DoNotOptimize(v.data());
  }
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_LoadValvingTables)->Unit(benchmark::kMillisecond);

void BM_SaveValvingTables(benchmark::State& state) {
  const quorin::NamedValues vars = {{"compvel", valving_table(0.1)}, {"compforce", valving_table(0.2)}};
  const auto path = std::filesystem::temp_directory_path() / ("quorin-bench-save-" + std::to_string(::getpid()) + ".mat");
  for (auto _ : state) quorin::save_variables(path, vars);
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveValvingTables)->Unit(benchmark::kMillisecond);

}  // namespace
