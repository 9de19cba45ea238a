// "balance": the front/rear damping balance of the first four stored curves, drawn into the
// left-hand-turn and right-hand-turn windows.
#include "annotation/cla.h"
#include "balance/forcebalance.h"
#include "plotting/axes_frame.h"
#include "plotting/clearfunction.h"
#include "processor/balance_corners.h"
#include "processor/processor.h"

namespace quorin {

std::vector<CornerCurves> corner_curves(const std::vector<DamperCurve>& plotdata) {
  std::vector<CornerCurves> out;
  out.reserve(plotdata.size());
  for (const DamperCurve& p : plotdata)
    out.push_back(
        {p.compression_velocity, p.compression_force, p.rebound_velocity, p.rebound_force});
  return out;
}

namespace actions {
namespace {

// The balance runs only from this counter up, which the overlay limit never reaches.
constexpr double kBalanceCounter = 100;
// The turn windows' background.
constexpr gfx::Color kTurnWindowColour{0.650980392156863, 0.635294117647059, 0.549019607843137};

// Empties one turn window: its force axes get the comparison frame, its key and balance axes
// are cleared.
void reset_turn_window(Processor& p, gfx::Handle plot, gfx::Handle key, gfx::Handle balance) {
  Globals& g = p.g;
  gfx::Model& m = p.gfx;
  gfx::Window& w = m.figure(m.window_of(plot).number);
  w.color = kTurnWindowColour;
  m.set_current_axes(plot);
  clearfunction(m, g.xmin, g.xmax, g.ymin, g.ymax, g.siunits);
  m.set_current_axes(key);
  m.get<gfx::Axes>(key).visible = false;
  annotation::cla(m);
  m.set_current_axes(balance);
  annotation::cla(m);
  w.zoom = true;
  m.touch();
}

}  // namespace

void balance(Processor& p) {
  if (p.g.counter < kBalanceCounter) return;
  draw_balance(p, corner_curves(p.g.plotdata));
}

}  // namespace actions

void draw_balance(Processor& p, std::span<const CornerCurves> corners) {
  Globals& g = p.g;
  gfx::Model& m = p.gfx;
  g.siunits = control_by_tag(m, "SIUnits").value;
  g.usunits = control_by_tag(m, "USUnits").value;
  const bool metric = g.siunits == 1;

  // Everything is checked before the turn windows are touched: their axes, the limits the
  // reset and the force axes use, and the four corner curves.
  const BalanceAxes axes{g.plothandle_lht, g.balance_lht, g.ID_lht,
                         g.plothandle_rht, g.balance_rht, g.ID_rht};
  check_balance_axes(m, axes);
  gfx::Axes scratch;
  set_axis_limits(scratch, {g.xmin, g.xmax, g.ymin, g.ymax});
  force_balance(corners, metric ? kMetricBalance : kImperialBalance);

  actions::reset_turn_window(p, g.plothandle_lht, g.ID_lht, g.balance_lht);
  actions::reset_turn_window(p, g.plothandle_rht, g.ID_rht, g.balance_rht);

  const BalanceLimits limits{g.xmin, g.xmax, g.ymin, g.ymax};
  if (metric)
    forcebalancemetric(m, corners, axes, limits);
  else
    forcebalanceimperial(m, corners, axes, limits);

  m.figure(m.window_of(g.plothandle_lht).number).zoom = true;
  m.figure(m.window_of(g.plothandle_rht).number).zoom = true;
  m.figure(1);
  m.touch();
}

}  // namespace quorin
