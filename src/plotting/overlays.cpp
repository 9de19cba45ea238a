#include "plotting/overlays.h"

#include <string>
#include <vector>

#include "plotting/axes_frame.h"
#include "plotting/plotfunction.h"
#include "services/runtime_error.h"

namespace quorin {

bool is_import_curve(const Matrix& import) { return import.rows >= 1 && import.cols >= 3; }

void draw_import_curve(gfx::Model& m, gfx::Axes& axes, const Matrix& import) {
  if (!is_import_curve(import))
    throw RuntimeError("The import curve is a " + std::to_string(import.rows) + " by " +
                       std::to_string(import.cols) +
                       " matrix; it needs a velocity column and two force columns.");
  std::vector<double> v(import.rows), compression(import.rows), rebound(import.rows);
  for (std::size_t r = 0; r < import.rows; ++r) {
    v[r] = import.at(r, 0);
    compression[r] = import.at(r, 1);
    rebound[r] = import.at(r, 2);
  }
  m.plot(axes, v, compression, "b--");
  axes.hold = true;
  m.plot(axes, v, rebound, "b--");
  axes.hold = true;
}

void draw_dyno_curve(gfx::Model& m, gfx::Axes& axes, const Value& ShockData) {
  const OverlayCurve c = dyno_overlay_curve(ShockData);
  m.plot(axes, c.x, c.y, "k--");
  axes.hold = true;
}

void finish_overlay(gfx::Window& window, gfx::Axes& axes, std::optional<double> xmin,
                    std::optional<double> xmax, std::optional<double> ymin,
                    std::optional<double> ymax) {
  grid_on(axes);
  window.zoom = true;
  set_axis_limits(axes, {xmin, xmax, ymin, ymax});
}

}  // namespace quorin
