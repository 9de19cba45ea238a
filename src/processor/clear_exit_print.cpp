// The comparison window actions: clear, exit and print.
#include <string>

#include "annotation/cla.h"
#include "plotting/clearfunction.h"
#include "plotting/plotfunction.h"
#include "plotting/overlays.h"
#include "processor/processor.h"
#include "services/runtime_error.h"

namespace quorin::actions {
namespace {

constexpr int kMainWindow = 1;
constexpr int kComparisonWindow = 2;
// The comparison window's background after a clear.
constexpr gfx::Color kKhaki{0.650980392156863, 0.635294117647059, 0.549019607843137};
// The comparison window on the page: full height, 0.90909 of the width, from the lower left.
constexpr gfx::Rect kPrintPosition{0, 0, 0.90909, 1};

constexpr std::string_view kNoPrinter = "Printing is not available here.";
constexpr std::string_view kNothingToPrint =
    "The comparison window is not open; there is nothing to print.";

// Marks the model changed however the action ends, so the windows show what was done.
struct TouchOnExit {
  gfx::Model& m;
  ~TouchOnExit() { m.touch(); }
};

bool ticked(gfx::Model& m, std::string_view tag) { return control_by_tag(m, tag).value == 1; }

}  // namespace

void clear(Processor& p) {
  Globals& g = p.g;
  gfx::Model& m = p.gfx;
  TouchOnExit touch{m};
  bool all = ticked(m, "clearall");
  const bool holdimport = ticked(m, "holdimport");
  const bool holdroehrig = ticked(m, "holdroehrig");
  if (g.counter2 < 1) return;

  // Keeping curve 1 needs a curve 1: with none shown, CLEAR without "All" clears all.
  if (!all && (g.counter < 2 || g.plotdata.empty())) all = true;
  g.counter = all ? 1 : 2;

  gfx::Window& plot_window = m.figure(kComparisonWindow);
  plot_window.color = kKhaki;
  m.set_current_axes(g.plothandle);
  clearfunction(m, g.xmin, g.xmax, g.ymin, g.ymax, g.siunits);
  m.set_current_axes(g.IDhandle);
  m.get<gfx::Axes>(g.IDhandle).visible = false;
  annotation::cla(m);

  if (all) {
    gfx::Axes& axes = m.get<gfx::Axes>(g.plothandle);
    if (holdimport) {
      m.figure(kComparisonWindow);
      m.set_current_axes(g.plothandle);
      draw_import_curve(m, axes, g.import);
      finish_overlay(plot_window, axes, g.xmin, g.xmax, g.ymin, g.ymax);
    }
    if (holdroehrig) {
      m.figure(kComparisonWindow);
      m.set_current_axes(g.plothandle);
      draw_dyno_curve(m, axes, g.ShockData, g.siunits == 1, &p.console);
      finish_overlay(plot_window, axes, g.xmin, g.xmax, g.ymin, g.ymax);
    }
  } else {
    plotfunction(m, g.plotdata, g.plothandle, g.IDhandle, g.counter, g.import, g.ShockData,
                 &p.console);
  }
  m.figure(kComparisonWindow);
  m.figure(kMainWindow);
}

void exit(Processor& p) {
  gfx::Model& m = p.gfx;
  TouchOnExit touch{m};
  for (int number : {kComparisonWindow, kMainWindow})
    if (m.window(number)) m.close(number);
}

void print(Processor& p) {
  gfx::Model& m = p.gfx;
  TouchOnExit touch{m};
  if (!p.printer) throw RuntimeError(std::string(kNoPrinter));
  m.figure(kMainWindow);
  // Read as the main window shows it; every state prints the same.
  [[maybe_unused]] const double printall = control_by_tag(m, "printall").value;
  if (!m.window(kComparisonWindow)) throw RuntimeError(std::string(kNothingToPrint));

  gfx::Window& plot_window = m.figure(kComparisonWindow);
  plot_window.paper_position_mode = "manual";
  plot_window.paper_units = "normalized";
  plot_window.paper_position = kPrintPosition;
  m.touch();
  // A cancelled print dialog prints nothing and is not an error.
  p.printer->print_window(kComparisonWindow, true);
  m.figure(kComparisonWindow).zoom = true;
  m.figure(kMainWindow);
}

}  // namespace quorin::actions
