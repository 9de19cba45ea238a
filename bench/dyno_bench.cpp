// Reading a dyno file of one page with two channels of 1,000,000 samples each, from memory and
// through the dialog from disk. Reports bytes per second of file read.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "dyno/dyno_bytes.h"
#include "dyno/loadshock.h"

namespace {

constexpr std::size_t kSamples = 1'000'000;

const quorin::test::DynoBytes& big_file() {
  static const quorin::test::DynoBytes f = [] {
    std::vector<float> velocity(kSamples), force(kSamples);
    for (std::size_t i = 0; i < kSamples; ++i) {
      velocity[i] = static_cast<float>(i % 2000) * 0.001f - 1.0f;
      force[i] = velocity[i] * 1500.0f;
    }
    return quorin::test::DynoBytes::file(4, 1, velocity, force);
  }();
  return f;
}

void BM_ReadDynoFromMemory(benchmark::State& state) {
  const auto& bytes = big_file().bytes;
  std::ostringstream console;
  for (auto _ : state) {
    quorin::Value shock = quorin::read_dyno(bytes, console, "big.pvp", "/bench/");
    benchmark::DoNotOptimize(shock);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadDynoFromMemory)->Unit(benchmark::kMillisecond);

void BM_LoadshockFromDisk(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() / "quorin_dyno_bench";
  std::filesystem::create_directories(dir);
  const auto& bytes = big_file().bytes;
  {
    std::ofstream out(dir / "big.pvp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::ostringstream console;
  for (auto _ : state) {
    quorin::ScriptedDialogs dialogs;
    dialogs.push({false, "big.pvp", dir.string() + "/"});
    quorin::LoadshockResult r = quorin::loadshock(dialogs, console, std::nullopt);
    benchmark::DoNotOptimize(r);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LoadshockFromDisk)->Unit(benchmark::kMillisecond);

}  // namespace
