// The tuning analyses headless on the shipped data: a clicker sweep of all 31 HSC clicks
// (alone, and through the menu item with its window), and the search of every LSC x HSC and
// LSR x HSR combination for the set-up closest to a measured curve, drawn from the set-up's
// own points or from a dyno run of a million samples.
#include <benchmark/benchmark.h>

#include <random>
#include <stdexcept>

#include "analysis/tuning.h"
#include "analysis/velocity_table.h"
#include "services/memory.h"
#include "started_program.h"

namespace quorin {
namespace {

const bool kPooled = (quorin::pool_large_arrays(), true);

using bench::StartedProgram;

void BM_ClickerSweepAllHscClicks(benchmark::State& state) {
  StartedProgram s;
  const SetupSelection setup = s.setup();
  const std::vector<std::string> rows = s.control("HSC").items;
  const BleedData& bleeds = s.program.bleed_cache.get(s.program.current_folder);
  for (auto _ : state) {
    analysis::ClickerSweep sweep =
        analysis::clicker_sweep(setup, analysis::Adjuster::HSC, rows, 1, rows.size(),
                                s.program.globals, bleeds, kUSFactors, 1, false);
    benchmark::DoNotOptimize(sweep.curves.data());
  }
  state.counters["clicks"] = static_cast<double>(rows.size());
}
BENCHMARK(BM_ClickerSweepAllHscClicks)->Unit(benchmark::kMillisecond);

void BM_ClickerSweepMenuItemWithWindow(benchmark::State& state) {
  StartedProgram s;
  for (auto _ : state) {
    s.dialogs.push_input(std::vector<std::string>{"HSC", "", ""});
    if (!s.program.run_command("comparison_menu('sweep')")) throw std::runtime_error("sweep");
  }
}
BENCHMARK(BM_ClickerSweepMenuItemWithWindow)->Unit(benchmark::kMillisecond);

void BM_ClosestSetUpBothSides(benchmark::State& state) {
  StartedProgram s;
  s.control("LSC").value = 8;
  s.control("HSC").value = 12;
  s.control("LSR").value = 6;
  s.control("HSR").value = 25;
  const SetupSelection setup = s.setup();
  const BleedData& bleeds = s.program.bleed_cache.get(s.program.current_folder);
  // The measured curve: the set-up itself, as a dyno curve is drawn.
  const DamperCurve d = synthesise_setup(setup, s.program.globals, bleeds, kUSFactors, 1);
  std::vector<double> v = d.compression_velocity, f = d.compression_force;
  v.insert(v.end(), d.rebound_velocity.begin(), d.rebound_velocity.end());
  f.insert(f.end(), d.rebound_force.begin(), d.rebound_force.end());
  const analysis::MeasuredSides measured = analysis::measured_sides(v, f);
  const analysis::ClickRows rows{s.control("LSC").items, s.control("HSC").items,
                                 s.control("LSR").items, s.control("HSR").items};
  std::size_t tried = 0;
  for (auto _ : state) {
    analysis::ClosestSetup found = analysis::closest_setup(
        setup, rows, s.program.globals, bleeds, kUSFactors, measured, analysis::band_edges(false));
    tried = found.compression.tried + found.rebound.tried;
    benchmark::DoNotOptimize(found.compression.best.data());
  }
  state.counters["curves"] = static_cast<double>(tried);
  state.counters["points"] = static_cast<double>(v.size());
}
BENCHMARK(BM_ClosestSetUpBothSides)->Unit(benchmark::kMillisecond);

// A dyno run of 1,000,000 samples of the set-up LSC 7, HSC 11, LSR 5, HSR 24, half in
// compression and half in rebound, each force 1 % off at random: the samples fall on
// `distinct` velocities per side spread evenly up to 10 in/s (a machine that repeats its
// velocities, or, with a million, one whose every sample is at a velocity of its own).
void BM_ClosestSetUpMillionSamples(benchmark::State& state) {
  constexpr std::size_t kSamples = 1'000'000;
  const auto distinct = static_cast<std::size_t>(state.range(0));
  StartedProgram s;
  s.control("LSC").value = 8;
  s.control("HSC").value = 12;
  s.control("LSR").value = 6;
  s.control("HSR").value = 25;
  const SetupSelection setup = s.setup();
  const BleedData& bleeds = s.program.bleed_cache.get(s.program.current_folder);
  const DamperCurve d = synthesise_setup(setup, s.program.globals, bleeds, kUSFactors, 1);
  std::mt19937 random(25);
  std::uniform_real_distribution<double> off(0.99, 1.01);
  std::vector<double> v(kSamples), f(kSamples);
  for (std::size_t i = 0; i < kSamples; ++i) {
    const bool compression = i % 2 == 0;
    const std::size_t j = (i / 2) % distinct;
    v[i] = 10.0 * (static_cast<double>(j) + 0.5) / static_cast<double>(distinct);
    const std::optional<double> at =
        compression ? analysis::force_at(d.compression_velocity, d.compression_force, v[i])
                    : analysis::force_at(d.rebound_velocity, d.rebound_force, v[i]);
    f[i] = at.value_or(compression ? 1 : -1) * off(random);
  }
  const analysis::MeasuredSides measured = analysis::measured_sides(v, f);
  const analysis::ClickRows rows{s.control("LSC").items, s.control("HSC").items,
                                 s.control("LSR").items, s.control("HSR").items};
  std::size_t tried = 0;
  for (auto _ : state) {
    analysis::ClosestSetup found = analysis::closest_setup(
        setup, rows, s.program.globals, bleeds, kUSFactors, measured, analysis::band_edges(false));
    tried = found.compression.tried + found.rebound.tried;
    if (found.compression.best.empty() || found.compression.best.front().low_click != "7")
      throw std::runtime_error("the dyno run's own set-up was not found");
    benchmark::DoNotOptimize(found.compression.best.data());
  }
  state.counters["curves"] = static_cast<double>(tried);
  state.counters["samples"] = static_cast<double>(kSamples);
}
BENCHMARK(BM_ClosestSetUpMillionSamples)
    ->Arg(2000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace quorin
