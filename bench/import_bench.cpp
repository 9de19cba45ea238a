// IMPORT of a text curve of 1,000,000 rows of velocity, compression force and rebound force
// (32 MB) through the real action: reading the file, checking it as a matrix, keeping it and
// drawing its two curves into the comparison window. Reports the file's bytes per second, and
// the peak memory the action takes beyond what the program held before it ("peak_MB"), also as
// a multiple of the file's size ("peak_per_file").
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "services/dialogs.h"
#include "services/memory.h"
#include "startup/program.h"

namespace quorin {
namespace {

// The allocator set up as the program's executables set it up.
const bool kPooled = (quorin::pool_large_arrays(), true);

constexpr std::size_t kRows = 1'000'000;

// The curve file, written once per run and removed when the program ends.
struct CurveFile {
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("quorin-import-bench-" + std::to_string(::getpid()));
  std::uintmax_t size = 0;
  CurveFile() {
    std::filesystem::create_directories(dir);
    std::string text;
    text.reserve(kRows * 33);
    char line[96];
    for (std::size_t i = 0; i < kRows; ++i) {
      const double v = 5.0 * static_cast<double>(i) / static_cast<double>(kRows - 1);
      const int n = std::snprintf(line, sizeof line, "%.8f\t%.4f\t%.4f\n", v, 1800 * v + 40.5,
                                  -2600 * v - 35.25);
      text.append(line, static_cast<std::size_t>(n));
    }
    std::ofstream(dir / "curve.txt", std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    size = std::filesystem::file_size(dir / "curve.txt");
  }
  ~CurveFile() { std::filesystem::remove_all(dir); }
};

const CurveFile& curve_file() {
  static const CurveFile f;
  return f;
}

// Resident and peak resident memory of this process in bytes, from /proc/self/status.
std::size_t status_kb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string k = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.rfind(k, 0) == 0) return std::stoul(line.substr(k.size())) * 1024;
  return 0;
}

// Starts the peak resident count afresh from the memory in use now.
void reset_peak() {
  malloc_trim(0);  // free memory the allocator still holds is no memory in use
  std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_ImportMillionRows(benchmark::State& state) {
  const CurveFile& file = curve_file();
  double peak_sum = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto dialogs = std::make_unique<ScriptedDialogs>();
    std::ostringstream console;
    auto program = std::make_unique<Program>(QUORIN_BIN_DIR, *dialogs, console);
    program->report_error = [](const std::string& m) { throw std::runtime_error(m); };
    program->start();
    dialogs->push({false, "curve.txt", file.dir.string() + "/"});
    reset_peak();
    const std::size_t before = status_kb("VmRSS");
    state.ResumeTiming();

    if (!program->run_command("quorin_processor_ct('import')"))
      throw std::runtime_error("IMPORT failed");

    state.PauseTiming();
    peak_sum += static_cast<double>(status_kb("VmHWM") - before);
    if (program->globals.import.rows != kRows) throw std::runtime_error("IMPORT lost rows");
    program.reset();
    dialogs.reset();
    state.ResumeTiming();
  }
  const double peak = peak_sum / static_cast<double>(state.iterations());
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["peak_per_file"] = peak / static_cast<double>(file.size);
  state.counters["file_MB"] = static_cast<double>(file.size) / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size));
}
BENCHMARK(BM_ImportMillionRows)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quorin
