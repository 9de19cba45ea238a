// Ride and grip headless on the shipped data: the seven set-ups of the user guide's comparison
// on a 60 s class C road at 100 km/h and on the shaker at 40 frequencies, and the grip map of
// both compression adjusters (every LSC x HSC click pair) on the same road.
#include <benchmark/benchmark.h>

#include <ctime>
#include <stdexcept>
#include <thread>

#include "analysis/grip_map.h"
#include "analysis/ride.h"
#include "services/memory.h"
#include "started_program.h"

namespace quorin {
namespace {

const bool kPooled = (quorin::pool_large_arrays(), true);

using bench::StartedProgram;

// The program with the guide's seven set-ups stored.
struct SevenCurves : StartedProgram {
  SevenCurves() {
    plot();
    control("LSC").value = 11;
    plot();
    control("HSC").value = 16;
    control("HSR").value = 11;
    plot();
    control("CompressionValve").value = 1;
    control("ReboundValve").value = 1;
    plot();
    control("CompressionSpring").value = 1;
    control("LSR").value = 6;
    plot();
    control("internalshaft").string = "0";
    plot();
    control("motionratio").string = "1.5";
    control("CompressionValve").value = 6;
    plot();
    if (program.globals.plotdata.size() != 7) throw std::runtime_error("not seven curves");
  }
  std::vector<analysis::DamperLaw> dampers() const {
    std::vector<analysis::DamperLaw> out;
    for (const DamperCurve& d : program.globals.plotdata)
      out.push_back(analysis::DamperLaw::of_curve(d));
    return out;
  }
};

constexpr double kSpeedKmh = 100;
constexpr double kSeconds = 60;

void BM_RoadSevenCurves(benchmark::State& state) {
  SevenCurves s;
  const analysis::QuarterCar car;
  for (auto _ : state) {
    // The road is made each time, as the window's item makes it.
    const analysis::RoadProfile road =
        analysis::iso8608_road("C", kSpeedKmh / 3.6 * kSeconds, 1);
    for (const analysis::DamperLaw& d : s.dampers())
      benchmark::DoNotOptimize(analysis::ride_on_road(car, d, road, kSpeedKmh));
  }
  state.counters["curves"] = 7;
}
BENCHMARK(BM_RoadSevenCurves)->Unit(benchmark::kMillisecond);

// One curve on the road already made: the work each point of a grip map costs.
void BM_RoadOneCurve(benchmark::State& state) {
  SevenCurves s;
  const analysis::QuarterCar car;
  const analysis::RoadProfile road = analysis::iso8608_road("C", kSpeedKmh / 3.6 * kSeconds, 1);
  const analysis::DamperLaw d = s.dampers().front();
  for (auto _ : state) benchmark::DoNotOptimize(analysis::ride_on_road(car, d, road, kSpeedKmh));
  state.counters["points"] = static_cast<double>(d.velocities().size());
}
BENCHMARK(BM_RoadOneCurve)->Unit(benchmark::kMillisecond);

void BM_ShakerSevenCurves(benchmark::State& state) {
  SevenCurves s;
  const analysis::QuarterCar car;
  for (auto _ : state)
    for (const analysis::DamperLaw& d : s.dampers())
      benchmark::DoNotOptimize(analysis::ride_on_shaker(car, d, {}));
  state.counters["curves"] = 7;
}
BENCHMARK(BM_ShakerSevenCurves)->Unit(benchmark::kMillisecond);

void BM_GripMapLscAndHsc(benchmark::State& state) {
  StartedProgram s;
  const SetupSelection setup = s.setup();
  const analysis::ClickRows rows{s.control("LSC").items, s.control("HSC").items,
                                 s.control("LSR").items, s.control("HSR").items};
  const BleedData& bleeds = s.program.bleed_cache.get(s.program.current_folder);
  const analysis::QuarterCar car;
  const auto threads = static_cast<unsigned>(state.range(0));
  std::size_t points = 0;
  const std::clock_t before = std::clock();
  for (auto _ : state) {
    const analysis::RoadProfile road =
        analysis::iso8608_road("C", kSpeedKmh / 3.6 * kSeconds, 1);
    const analysis::GripMap map = analysis::grip_map(setup, {true, true, true}, rows,
                                                     s.program.globals, bleeds, car, road,
                                                     kSpeedKmh, threads);
    points = map.points.size() + map.refused;
  }
  state.counters["setups"] = static_cast<double>(points);
  // The processor time of every thread of the program, per map: what the map costs on a
  // machine of its own, where the threads do not wait for other programs.
  state.counters["process_cpu_s"] =
      benchmark::Counter(static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC,
                         benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GripMapLscAndHsc)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quorin
