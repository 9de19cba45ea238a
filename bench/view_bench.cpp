// PLOT with the start-up selections (synthesis, store, redraw into the model), and painting
// the comparison window with seven curves offscreen.
#include <benchmark/benchmark.h>

#include <QImage>
#include <sstream>
#include <stdexcept>

#include "services/dialogs.h"
#include "services/memory.h"
#include "services/qt/toolkit.h"
#include "services/qt/window_view.h"
#include "startup/program.h"

namespace quorin {
namespace {

// The allocator set up as the program's executables set it up.
const bool kPooled = (quorin::pool_large_arrays(), true);

// A started program reading the supplied data beside the executables.
struct StartedProgram {
  ScriptedDialogs dialogs;
  std::ostringstream console;
  Program program{QUORIN_BIN_DIR, dialogs, console};
  StartedProgram() {
    program.report_error = [](const std::string& m) { throw std::runtime_error(m); };
    program.start();
  }
  void plot() {
    if (!program.run_command("quorin_processor_ct('view')"))
      throw std::runtime_error("PLOT failed");
  }
};

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
