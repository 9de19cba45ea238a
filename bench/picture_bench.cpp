// Save picture of the comparison window with seven curves, through the menu item as the user
// runs it: a 600 dpi PNG, an SVG and a PDF; the time of one save, the file's size and the
// peak resident memory of the process.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "app/comparison_tools.h"
#include "services/dialogs.h"
#include "services/qt/desktop_outputs.h"
#include "services/qt/toolkit.h"
#include "startup/program.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

double peak_resident_mb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void save_picture(benchmark::State& state, const char* file, const char* dpi) {
  qtk::ensure_application();
  ScriptedDialogs dialogs;
  std::ostringstream console;
  Program program{QUORIN_BIN_DIR, dialogs, console};
  program.report_error = [](const std::string& m) { throw std::runtime_error(m); };
  qtk::WindowPictureWriter pictures(program.gfx);
  program.pictures = &pictures;
  ComparisonTools::attach(program);
  program.start();
  for (int i = 0; i < 7; ++i)
    if (!program.run_command("quorin_processor_ct('view')"))
      throw std::runtime_error("PLOT failed");
  const fs::path folder = fs::temp_directory_path();
  const double before_mb = peak_resident_mb();
  for (auto _ : state) {
    dialogs.push({false, file, folder.string() + "/"});
    if (dpi) dialogs.push_input(std::vector<std::string>{dpi});
    if (!program.run_command("comparison_menu('savepicture')"))
      throw std::runtime_error("Save picture failed");
  }
  state.counters["file_kb"] = static_cast<double>(fs::file_size(folder / file)) / 1024.0;
  state.counters["peak_rss_mb"] = peak_resident_mb();
  state.counters["peak_rss_before_save_mb"] = before_mb;
  // QUORIN_PICTURE_BENCH_KEEP=1 keeps the files to look at.
  if (std::getenv("QUORIN_PICTURE_BENCH_KEEP") == nullptr) fs::remove(folder / file);
}

void BM_SaveSevenCurvesPng600Dpi(benchmark::State& state) {
  save_picture(state, "quorin_picture_bench.png", "600");
}
void BM_SaveSevenCurvesSvg(benchmark::State& state) {
  save_picture(state, "quorin_picture_bench.svg", nullptr);
}
void BM_SaveSevenCurvesPdf(benchmark::State& state) {
  save_picture(state, "quorin_picture_bench.pdf", nullptr);
}
BENCHMARK(BM_SaveSevenCurvesPng600Dpi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveSevenCurvesSvg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveSevenCurvesPdf)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorin
