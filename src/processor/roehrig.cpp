// Overlaying a measured curve from a dyno file.
#include <string>
#include <string_view>

#include "dyno/loadshock.h"
#include "plotting/plotfunction.h"
#include "plotting/overlays.h"
#include "processor/processor.h"
#include "services/runtime_error.h"

namespace quorin::actions {
namespace {

const Value* numeric_data(const Value& page, std::string_view channel) {
  if (!page.has_field(channel)) return nullptr;
  const Value& c = page.field(channel);
  if (!c.is_record() || !c.has_field("Data") || !c.field("Data").is_numeric()) return nullptr;
  return &c.field("Data");
}

// The record has the velocity and force samples the overlay is drawn from.
bool has_speed_curve(const Value& shock) {
  if (!shock.is_record() || !shock.has_field("Speed_1")) return false;
  const Value& page = shock.field("Speed_1");
  if (!page.is_record()) return false;
  const Value* v = numeric_data(page, "Velocity");
  const Value* f = numeric_data(page, "Force");
  return v && f && v->numel() == f->numel();
}

std::string file_of(const Value& shock, const std::string& folder) {
  if (shock.is_record() && shock.has_field("fn") && shock.field("fn").is_text())
    return folder + shock.field("fn").str();
  return folder;
}

}  // namespace

void roehrig(Processor& p) {
  Globals& g = p.g;
  gfx::Model& m = p.gfx;
  LoadshockResult r = loadshock(p.dialogs, p.console, g.pn);
  g.pn = r.pn;
  // A cancelled dialog keeps the dyno curve read before, so a held dyno curve still redraws.
  if (!r.pn) return;
  // A file without a usable Speed_1 page is refused before it replaces the dyno curve.
  if (!has_speed_curve(r.ShockData))
    throw RuntimeError("The dyno file \"" + file_of(r.ShockData, *r.pn) +
                       "\" holds no Speed_1 velocity and force samples of equal length; the "
                       "dyno curve is unchanged.");
  g.ShockData = std::move(r.ShockData);

  gfx::Window& plot_window = m.figure(2);
  m.set_current_axes(g.plothandle);
  gfx::Axes& axes = m.get<gfx::Axes>(g.plothandle);
  draw_dyno_curve(m, axes, g.ShockData, g.siunits == 1, &p.console);
  finish_overlay(plot_window, axes, g.xmin, g.xmax, g.ymin, g.ymax);
  m.touch();
  m.figure(1);
}

}  // namespace quorin::actions
