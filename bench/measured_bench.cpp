// Measured data: a run file of 1,000,000 samples read from its text (bytes per second), the
// same samples worked through (velocity, strokes, both curves, loops, gas force and friction),
// and the whole set-up (13 valves x 4 springs x 651 clicks a side) fitted to a dyno run of a
// synthesised set-up with 2 % noise.
#include <benchmark/benchmark.h>

#include <stdexcept>

#include "analysis/tuning.h"
#include "measured/generated_run.h"
#include "measured/processing.h"
#include "measured/run_file.h"
#include "started_program.h"

namespace quorin {
namespace {

using bench::StartedProgram;

// A run file of about a million samples: ten runs of a sine drive at 2 kHz through a
// digressive damper, with gas force, friction and 2 % noise.
const std::string& million_sample_text() {
  static const std::string text = [] {
    testing::GeneratedDamper d;
    d.curve = [](double v) { return v >= 0 ? 2500 * v + 200 * (v > 0) : 4000 * v - 300; };
    d.frequencies_hz = {0.5, 0.75, 1, 1.5, 2, 3, 4, 6, 8, 10};
    // sum over runs of cycles * rate / f samples: about 1,000,000
    d.cycles = 77;
    return testing::generated_run_file(d);
  }();
  return text;
}

void BM_ReadRunFileMillionSamples(benchmark::State& state) {
  const std::string& text = million_sample_text();
  std::size_t samples = 0;
  for (auto _ : state) {
    const measured::Layout layout = measured::read_layout(text);
    const measured::RunFile f = measured::read_runs(text, layout, "bench.csv");
    samples = 0;
    for (const measured::Run& r : f.runs) samples += r.time_s.size();
    benchmark::DoNotOptimize(f.runs.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["samples"] = static_cast<double>(samples);
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_ReadRunFileMillionSamples)->Unit(benchmark::kMillisecond);

void BM_ProcessMillionSamples(benchmark::State& state) {
  const std::string& text = million_sample_text();
  const measured::RunFile f = measured::read_runs(text, measured::read_layout(text), "bench.csv");
  std::size_t samples = 0;
  for (const measured::Run& r : f.runs) samples += r.time_s.size();
  for (auto _ : state) {
    const measured::Processed p = measured::process(f);
    benchmark::DoNotOptimize(p.runs.data());
  }
  state.counters["samples"] = static_cast<double>(samples);
}
BENCHMARK(BM_ProcessMillionSamples)->Unit(benchmark::kMillisecond);

// The set-up LSC 8, HSC 12, LSR 6, HSR 25 with the start-up valves and springs, as a dyno run
// reads it back: ten peak-velocity points a side. Searched from the first row of every popup.
void BM_WholeSetUpBothSides(benchmark::State& state) {
  StartedProgram s;
  s.control("LSC").value = 9;
  s.control("HSC").value = 13;
  s.control("LSR").value = 7;
  s.control("HSR").value = 26;
  const SetupSelection chosen = s.setup();
  const BleedData& bleeds = s.program.bleed_cache.get(s.program.current_folder);
  const DamperCurve d = synthesise_setup(chosen, s.program.globals, bleeds, kSIFactors, 1);
  testing::GeneratedDamper g = testing::damper_of_curve(d.compression_velocity, d.compression_force,
                                                        d.rebound_velocity, d.rebound_force);
  const std::string text = testing::generated_run_file(g);
  const measured::ExtractedCurve c = measured::extracted_curve(
      measured::process(measured::read_runs(text, measured::read_layout(text), "rig.csv")), true,
      true);
  std::vector<double> v(c.velocity.size());
  for (std::size_t k = 0; k < v.size(); ++k) v[k] = std::abs(c.velocity[k]);
  const analysis::MeasuredSides measured = analysis::measured_sides(v, c.force);
  for (std::string_view tag : {"LSC", "HSC", "LSR", "HSR", "CompressionValve", "CompressionSpring",
                               "ReboundValve", "ReboundSpring"})
    s.control(tag).value = 1;
  const SetupSelection setup = s.setup();
  const analysis::ClickRows rows{s.control("LSC").items, s.control("HSC").items,
                                 s.control("LSR").items, s.control("HSR").items};
  const analysis::ValveRows valves{
      s.control("CompressionValve").items, s.control("CompressionSpring").items,
      s.control("ReboundValve").items, s.control("ReboundSpring").items};
  std::size_t tried = 0;
  for (auto _ : state) {
    const analysis::WholeSetup found =
        analysis::whole_setup(setup, valves, rows, s.program.globals, bleeds, kSIFactors, measured,
                              analysis::band_edges(true), true, true);
    if (found.compression.best.empty() || found.rebound.best.empty())
      throw std::runtime_error("no whole set-up found");
    tried = found.compression.tried + found.rebound.tried;
    benchmark::DoNotOptimize(found.compression.best.data());
  }
  state.counters["curves"] = static_cast<double>(tried);
}
BENCHMARK(BM_WholeSetUpBothSides)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorin
