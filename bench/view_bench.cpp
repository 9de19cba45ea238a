// PLOT with the start-up selections (synthesis, store, redraw into the model), again and as the
// first after start, and painting the comparison window with seven curves offscreen.
#include <benchmark/benchmark.h>

#include <QImage>
#include <memory>
#include <stdexcept>

#include "services/memory.h"
#include "services/qt/toolkit.h"
#include "services/qt/window_view.h"
#include "started_program.h"

namespace quorin {
namespace {

// The allocator set up as the program's executables set it up.
const bool kPooled = (quorin::pool_large_arrays(), true);

using bench::StartedProgram;

void BM_PlotDefaultSetUp(benchmark::State& state) {
  StartedProgram s;
  s.plot();  // the bleed data are read once and kept
  for (auto _ : state) {
    s.program.globals.counter = 1;
    s.plot();
    benchmark::DoNotOptimize(s.program.globals.plotdata.data());
  }
}
BENCHMARK(BM_PlotDefaultSetUp)->Unit(benchmark::kMicrosecond);

// The first PLOT after start: the bleed data file is read and every resampling is worked out.
void BM_FirstPlotAfterStart(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto s = std::make_unique<StartedProgram>();
    state.ResumeTiming();
    s->plot();
    benchmark::DoNotOptimize(s->program.globals.plotdata.data());
    state.PauseTiming();
    s.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FirstPlotAfterStart)->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_PaintComparisonWindowSevenCurves(benchmark::State& state) {
  qtk::ensure_application();
  StartedProgram s;
  for (int i = 0; i < 7; ++i) s.plot();
  qtk::WindowView view(s.program.gfx, 2, {}, false);
  view.setAttribute(Qt::WA_DontShowOnScreen);
  view.reconcile();
  view.show();
  view.reconcile();
  QImage image(view.size(), QImage::Format_RGB32);
  for (auto _ : state) {
    image.fill(Qt::white);
    view.render(&image);
    benchmark::DoNotOptimize(image.bits());
  }
  view.hide();
}
BENCHMARK(BM_PaintComparisonWindowSevenCurves)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorin
