// Units and rescale: the "Metric" and "Imperial" radio buttons keep exactly one of them on
// and, when the unit system really changes, convert the four limit boxes, apply them to the
// comparison window and redraw every stored curve in the new units; "Rescale" redraws with
// the limits as they stand.
#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "plotting/axes_frame.h"
#include "plotting/plotfunction.h"
#include "processor/processor.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::actions {
namespace {

// Millimetres per inch and per metre: in/s to m/s is x 25.4 / 1000.
constexpr double kMillimetresPerInch = 25.4;
constexpr double kMillimetresPerMetre = 1000;
// Newtons per pound-force as the displays use it.
constexpr double kNewtonsPerPound = 4.45374;

constexpr std::array<std::string_view, 4> kLimitBoxes = {"xmin", "xmax", "ymin", "ymax"};

enum class UnitSystem { SI, US };

void redraw(Processor& p) {
  Globals& g = p.g;
  plotfunction(p.gfx, g.plotdata, g.plothandle, g.IDhandle, g.counter, g.import, g.ShockData);
}

void set_radio_buttons(Processor& p, UnitSystem on) {
  control_by_tag(p.gfx, "SIUnits").value = on == UnitSystem::SI ? 1 : 0;
  control_by_tag(p.gfx, "USUnits").value = on == UnitSystem::US ? 1 : 0;
  p.gfx.touch();
}

double limit_number(const std::optional<double>& v, std::string_view box) {
  if (!v)
    throw RuntimeError("The limit box " + std::string(box) +
                       " does not hold a number; the units were not switched.");
  return *v;
}

void check_increasing(double lo, double hi, std::string_view lo_box, std::string_view hi_box) {
  if (!(lo < hi))
    throw RuntimeError("The converted limits " + std::string(lo_box) + " " + num2str(lo) +
                       " and " + std::string(hi_box) + " " + num2str(hi) +
                       " do not make an increasing range; the units were not switched.");
}

// The clicked button's command: the other button tells whether the display was in the other
// unit system (both buttons now on) or already in `to` (both now off).
void switch_units(Processor& p, UnitSystem to) {
  Globals& g = p.g;
  const double other_on = to == UnitSystem::SI ? g.usunits : g.siunits;
  if (other_on == 0) {
    set_radio_buttons(p, to);
    return;
  }

  // Everything is checked before anything changes, so a failed switch leaves the buttons,
  // the boxes and the plot as they were.
  const double xmin = limit_number(g.xmin, "xmin");
  const double xmax = limit_number(g.xmax, "xmax");
  const double ymin = limit_number(g.ymin, "ymin");
  const double ymax = limit_number(g.ymax, "ymax");
  std::array<double, 4> conv{};
  if (to == UnitSystem::SI) {
    conv = {xmin * kMillimetresPerInch / kMillimetresPerMetre,
            xmax * kMillimetresPerInch / kMillimetresPerMetre, std::round(ymin * kNewtonsPerPound),
            std::round(ymax * kNewtonsPerPound)};
  } else {
    conv = {xmin * kMillimetresPerMetre / kMillimetresPerInch,
            xmax * kMillimetresPerMetre / kMillimetresPerInch, std::round(ymin / kNewtonsPerPound),
            std::round(ymax / kNewtonsPerPound)};
  }
  check_increasing(conv[0], conv[1], "xmin", "xmax");
  check_increasing(conv[2], conv[3], "ymin", "ymax");
  if (!p.gfx.valid(g.plothandle))
    throw RuntimeError("The comparison window is closed; the units were not switched.");

  gfx::Model& m = p.gfx;
  m.figure(2);
  gfx::Axes& axes = m.current_axes();
  set_axis_limits(axes, AxisLimits{conv[0], conv[1], conv[2], conv[3]});
  grid_on(axes);

  m.figure(1);
  for (std::size_t k = 0; k < kLimitBoxes.size(); ++k)
    control_by_tag(m, kLimitBoxes[k]).string = num2str(conv[k]);
  set_radio_buttons(p, to);
  redraw(p);
}

}  // namespace

void si(Processor& p) { switch_units(p, UnitSystem::SI); }
void us(Processor& p) { switch_units(p, UnitSystem::US); }
void rescale(Processor& p) { redraw(p); }

}  // namespace quorin::actions
