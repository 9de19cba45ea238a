// Headless start-up: reading the supplied files and building the four windows with every
// control, the handles, the logos and the starting globals. Target: under 100 ms.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "services/dialogs.h"
#include "startup/program.h"
#include "windows/start_folder_fixture.h"

namespace quorin {
namespace {

// The shipped start folder when it is there, else a scratch one with small stand-in files.
std::filesystem::path start_folder() {
  static std::unique_ptr<test::StartFolderFixture> scratch;
  const std::filesystem::path supplied = QUORIN_SUPPLIED;
  if (std::filesystem::is_regular_file(supplied / "quorin_matrix_2007_v1.mat")) return supplied;
  if (!scratch) scratch = std::make_unique<test::StartFolderFixture>();
  return scratch->path();
}

void BM_StartUpHeadless(benchmark::State& state) {
  const std::filesystem::path folder = start_folder();
  ScriptedDialogs dialogs;
  std::ostringstream console;
  for (auto _ : state) {
    Program program(folder, dialogs, console);
    program.start();
    if (program.gfx.window_numbers().size() != 2) throw std::runtime_error("start-up incomplete");
    benchmark::DoNotOptimize(program.globals.plothandle);
  }
  state.SetLabel(folder.string());
}
BENCHMARK(BM_StartUpHeadless)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorin
