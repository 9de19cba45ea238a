// The kept session and the undo history with a large import held, through the script driver
// (the program put together as the desktop puts it together):
// - IMPORT of a 1,000,000-row text curve as the user meets it: the action, the session taken
//   after it and written to disk (bytes of file per second, peak memory beyond the program's);
// - one use of a control with and without that import held (the session taken and compared);
// - writing the packed session of seven curves and the import (the writer thread's work);
// - 7 PLOTs, 20 CLEAR/PLOT rounds and 20 Undos with the import held: peak resident memory;
// - a session holding a 125 MB import restored after the program died.
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

#include "app/script_driver.h"
#include "app/session.h"
#include "services/memory.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

const bool kPooled = (quorin::pool_large_arrays(), true);

// A start folder of its own with a curve file of `rows` rows, removed at the end.
struct Folder {
  fs::path dir;
  std::uintmax_t curve_bytes = 0;
  explicit Folder(std::size_t rows) {
    static int n = 0;
    dir = fs::temp_directory_path() /
          ("quorin-session-bench-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
    fs::remove_all(dir);
    fs::copy(QUORIN_BIN_DIR, dir, fs::copy_options::recursive);
    std::string text;
    text.reserve(rows * 33);
    char line[96];
    for (std::size_t i = 0; i < rows; ++i) {
      const double v = 5.0 * static_cast<double>(i) / static_cast<double>(rows - 1);
      const int k = std::snprintf(line, sizeof line, "%.8f\t%.4f\t%.4f\n", v, 1800 * v + 40.5,
                                  -2600 * v - 35.25);
      text.append(line, static_cast<std::size_t>(k));
    }
    std::ofstream(dir / "curve.txt", std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    curve_bytes = fs::file_size(dir / "curve.txt");
  }
  ~Folder() { fs::remove_all(dir); }
};

std::size_t status_bytes(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string k = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.rfind(k, 0) == 0) return std::stoul(line.substr(k.size())) * 1024;
  return 0;
}
void reset_peak() {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
}

// Runs driver lines, failing the benchmark on any error line.
void run(ScriptDriver& d, const std::string& lines) {
  std::istringstream in(lines);
  for (std::string l; std::getline(in, l);)
    if (auto out = d.run_line(l); out && out->find("\"error\"") != std::string::npos)
      throw std::runtime_error(l + ": " + *out);
}

std::string import_lines(const Folder& f) {
  return "dialog open " + f.dir.string() + " curve.txt\ncommand quorin_processor_ct('import')\n";
}

void BM_ImportAsTheUserMeetsIt(benchmark::State& state) {
  const Folder folder(1'000'000);
  std::ostringstream console;
  double peak_sum = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto driver = std::make_unique<ScriptDriver>(folder.dir, console);
    run(*driver, "start\n");
    driver->application().kept_session().flush();
    reset_peak();
    const std::size_t before = status_bytes("VmRSS");
    state.ResumeTiming();

    run(*driver, import_lines(folder));
    if (state.range(0) == 1) driver->application().kept_session().flush();

    state.PauseTiming();
    driver->application().kept_session().flush();
    peak_sum += static_cast<double>(status_bytes("VmHWM") - before);
    driver.reset();
    state.ResumeTiming();
  }
  const double peak = peak_sum / static_cast<double>(state.iterations());
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["peak_per_file"] = peak / static_cast<double>(folder.curve_bytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * folder.curve_bytes));
}
// Arg 0: until the program takes the next command (the session handed to the writer's thread);
// 1: until the session is on the disk as well.
BENCHMARK(BM_ImportAsTheUserMeetsIt)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arg 0: nothing held; 1: the 1,000,000-row import held. A list choice alternates, so every use
// is a change the kept session takes (its writing happens on the writer's thread).
void BM_ControlUse(benchmark::State& state) {
  const Folder folder(1'000'000);
  std::ostringstream console;
  ScriptDriver driver(folder.dir, console);
  run(driver, "start\n");
  if (state.range(0) == 1) run(driver, import_lines(folder));
  driver.application().kept_session().flush();
  int k = 0;
  for (auto _ : state) {
    run(driver, std::string("set LSC Value ") + (k++ % 2 ? "3" : "4") + "\n");
  }
  driver.application().kept_session().flush();
}
BENCHMARK(BM_ControlUse)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_WriteSessionSevenCurvesAndImport(benchmark::State& state) {
  const Folder folder(1'000'000);
  std::ostringstream console;
  ScriptDriver driver(folder.dir, console);
  run(driver, "start\n" + import_lines(folder));
  for (int i = 0; i < 7; ++i) run(driver, "press PLOT\n");
  const SessionDocument d = take_session(driver.program());
  const fs::path file = folder.dir / "bench.autosave";
  for (auto _ : state) write_session(file, d);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(file)));
}
BENCHMARK(BM_WriteSessionSevenCurvesAndImport)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UndoMemoryWithImportHeld(benchmark::State& state) {
  const Folder folder(1'000'000);
  std::ostringstream console;
  for (auto _ : state) {
    ScriptDriver driver(folder.dir, console);
    run(driver, "start\n" + import_lines(folder) + "press holdimport\n");
    for (int i = 0; i < 7; ++i) run(driver, "press PLOT\n");
    for (int i = 0; i < 20; ++i) run(driver, "press CLEAR\npress PLOT\n");
    for (int i = 0; i < 20; ++i) run(driver, "window 2\nmenu 2 Undo\n");
    driver.application().kept_session().flush();
    state.counters["peak_resident_MB"] = static_cast<double>(status_bytes("VmHWM")) / 1e6;
    state.counters["resident_MB"] = static_cast<double>(status_bytes("VmRSS")) / 1e6;
  }
}
BENCHMARK(BM_UndoMemoryWithImportHeld)->Unit(benchmark::kMillisecond)->Iterations(1);

// A program holding a 125 MB import dies (its session file stays, as after kill -9); the next
// start restores it.
void BM_RestoreSessionOf125MBImport(benchmark::State& state) {
  const Folder folder(3'900'000);
  std::ostringstream console;
  const fs::path kept = autosave_file(folder.dir);
  {
    ScriptDriver dying(folder.dir, console);
    run(dying, "start\n" + import_lines(folder));
    dying.application().kept_session().flush();
    fs::copy_file(kept, folder.dir / "left.autosave");
  }
  for (auto _ : state) {
    state.PauseTiming();
    fs::copy_file(folder.dir / "left.autosave", kept, fs::copy_options::overwrite_existing);
    auto next = std::make_unique<ScriptDriver>(folder.dir, console);
    run(*next, "start\n");
    state.ResumeTiming();
    run(*next, "restore\n");
    state.PauseTiming();
    if (next->program().globals.import.rows != 3'900'000) throw std::runtime_error("rows lost");
    next.reset();
    state.ResumeTiming();
  }
  state.counters["file_MB"] = static_cast<double>(folder.curve_bytes) / 1e6;
}
BENCHMARK(BM_RestoreSessionOf125MBImport)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quorin
