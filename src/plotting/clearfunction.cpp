#include "plotting/clearfunction.h"

#include "plotting/axes_frame.h"

namespace quorin {

void clearfunction(gfx::Model& m, std::optional<double> xmin, std::optional<double> xmax,
                   std::optional<double> ymin, std::optional<double> ymax, double siunits) {
  gfx::Axes& axes = m.current_axes();
  plot_reset_line(m, axes);
  grid_on(axes);
  set_axis_limits(axes, {xmin, xmax, ymin, ymax});
  label_comparison_axes(m, siunits == 1);
}

}  // namespace quorin
