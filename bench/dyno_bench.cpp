// Reading a dyno file of one page with two channels of 1,000,000 samples each (8 MB), from
// memory and through the dialog from disk (the page cache). Reports bytes per second of file
// read, page faults per read ("faults"), and for a hundred reads in a row the slowest one.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dyno/dyno_bytes.h"
#include "dyno/loadshock.h"
#include "services/memory.h"

namespace {

// The allocator set up as the program's executables set it up.
const bool kPooled = (quorin::pool_large_arrays(), true);

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

long minor_faults() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_minflt;
}

// The big file in a scratch folder for the lifetime of one benchmark.
struct FileOnDisk {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "quorin_dyno_bench";
  FileOnDisk() {
    std::filesystem::create_directories(dir);
    const auto& bytes = big_file().bytes;
    std::ofstream out(dir / "big.pvp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  ~FileOnDisk() { std::filesystem::remove_all(dir); }
  quorin::LoadshockResult load(std::ostream& console) const {
    quorin::ScriptedDialogs dialogs;
    dialogs.push({false, "big.pvp", dir.string() + "/"});
    return quorin::loadshock(dialogs, console, std::nullopt);
  }
};

void BM_LoadshockFromDisk(benchmark::State& state) {
  const FileOnDisk file;
  std::ostringstream console;
  benchmark::DoNotOptimize(file.load(console));
  const long faults = minor_faults();
  for (auto _ : state) {
    quorin::LoadshockResult r = file.load(console);
    benchmark::DoNotOptimize(r);
  }
  state.counters["faults"] = benchmark::Counter(static_cast<double>(minor_faults() - faults),
                                                benchmark::Counter::kAvgIterations);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * big_file().bytes.size()));
}
BENCHMARK(BM_LoadshockFromDisk)->Unit(benchmark::kMillisecond);

// A hundred reads in a row, each result dropped before the next read as an overlay replaces
// the last: the median, 95th percentile and slowest read, and the faults per read.
void BM_LoadshockHundredReadsInARow(benchmark::State& state) {
  const FileOnDisk file;
  std::ostringstream console;
  std::vector<double> ms;
  long faults = 0;
  for (auto _ : state) {
    ms.clear();
    const long before = minor_faults();
    for (int i = 0; i < 100; ++i) {
      const auto start = std::chrono::steady_clock::now();
      quorin::LoadshockResult r = file.load(console);
      benchmark::DoNotOptimize(r);
      ms.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count());
    }
    faults += minor_faults() - before;
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["p95_ms"] = ms[ms.size() * 95 / 100];
  state.counters["max_ms"] = ms.back();
  state.counters["faults"] =
      static_cast<double>(faults) / static_cast<double>(state.iterations() * 100);
}
BENCHMARK(BM_LoadshockHundredReadsInARow)->Unit(benchmark::kMillisecond)->Iterations(3);

// The yardstick: the same file taken with one fread into a buffer kept between reads.
void BM_FreadWholeFile(benchmark::State& state) {
  const FileOnDisk file;
  std::vector<char> buffer(big_file().bytes.size());
  const std::string name = (file.dir / "big.pvp").string();
  for (auto _ : state) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), f);
    std::fclose(f);
    benchmark::DoNotOptimize(got);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
}
BENCHMARK(BM_FreadWholeFile)->Unit(benchmark::kMillisecond);

}  // namespace
