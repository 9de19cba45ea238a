// Units and rescale: the "Metric" and "Imperial" radio buttons keep exactly one of them on
// and, when the unit system really changes, convert the four limit boxes, apply them to the
// comparison window and redraw every stored curve in the new units; "Rescale" redraws with
// the limits as they stand.
#include <array>
#include <cmath>
#include <optional>
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
  plotfunction(p.gfx, g.plotdata, g.plothandle, g.IDhandle, g.counter, g.import, g.ShockData,
               &p.console);
}

void set_radio_buttons(Processor& p, UnitSystem on) {
  control_by_tag(p.gfx, "SIUnits").value = on == UnitSystem::SI ? 1 : 0;
  control_by_tag(p.gfx, "USUnits").value = on == UnitSystem::US ? 1 : 0;
  p.gfx.touch();
}

// The four limits converted into the units `to`, or why they cannot be: a box without a
// number, or limits that do not rise once converted (the force limits are whole numbers in
// the new units, so close limits can meet).
struct Converted {
  std::array<double, 4> limits{};
  std::string problem;
};

Converted convert_limits(const Globals& g, UnitSystem to) {
  Converted c;
  const std::array<const std::optional<double>*, 4> in = {&g.xmin, &g.xmax, &g.ymin, &g.ymax};
  for (std::size_t k = 0; k < in.size(); ++k) {
    if (!*in[k]) {
      c.problem = "The limit box " + std::string(kLimitBoxes[k]) + " does not hold a number";
      return c;
    }
  }
  const double xmin = **in[0], xmax = **in[1], ymin = **in[2], ymax = **in[3];
  if (to == UnitSystem::SI) {
    c.limits = {xmin * kMillimetresPerInch / kMillimetresPerMetre,
                xmax * kMillimetresPerInch / kMillimetresPerMetre,
                std::round(ymin * kNewtonsPerPound), std::round(ymax * kNewtonsPerPound)};
  } else {
    c.limits = {xmin * kMillimetresPerMetre / kMillimetresPerInch,
                xmax * kMillimetresPerMetre / kMillimetresPerInch,
                std::round(ymin / kNewtonsPerPound), std::round(ymax / kNewtonsPerPound)};
  }
  for (std::size_t lo : {0u, 2u}) {
    if (!(c.limits[lo] < c.limits[lo + 1])) {
      c.problem = "The converted limits " + std::string(kLimitBoxes[lo]) + " " +
                  num2str(c.limits[lo]) + " and " + std::string(kLimitBoxes[lo + 1]) + " " +
                  num2str(c.limits[lo + 1]) + " do not make a rising range";
      return c;
    }
  }
  return c;
}

// The clicked button's command: the other button tells whether the display was in the other
// unit system (both buttons now on) or already in `to` (both now off).
void switch_units(Processor& p, UnitSystem to) {
  Globals& g = p.g;
  const UnitSystem from = to == UnitSystem::SI ? UnitSystem::US : UnitSystem::SI;
  const double other_on = to == UnitSystem::SI ? g.usunits : g.siunits;
  if (other_on == 0) {
    set_radio_buttons(p, to);
    return;
  }

  // Everything is checked before anything changes. A refused switch puts the buttons back as
  // they were before the click, so they keep matching the limits in the boxes and the plot.
  Converted c = convert_limits(g, to);
  if (c.problem.empty() && !p.gfx.valid(g.plothandle))
    c.problem = "The comparison window is closed";
  if (!c.problem.empty()) {
    set_radio_buttons(p, from);
    throw RuntimeError(c.problem + "; the units were not switched.");
  }

  gfx::Model& m = p.gfx;
  m.figure(2);
  gfx::Axes& axes = m.current_axes();
  set_axis_limits(axes, AxisLimits{c.limits[0], c.limits[1], c.limits[2], c.limits[3]});
  grid_on(axes);

  m.figure(1);
  for (std::size_t k = 0; k < kLimitBoxes.size(); ++k)
    control_by_tag(m, kLimitBoxes[k]).string = num2str(c.limits[k]);
  set_radio_buttons(p, to);
  redraw(p);
}

}  // namespace

void si(Processor& p) {
  switch_units(p, UnitSystem::SI);
}
void us(Processor& p) {
  switch_units(p, UnitSystem::US);
}
void rescale(Processor& p) {
  redraw(p);
}

}  // namespace quorin::actions
