// Resetting an axes to the empty comparison frame: reset line, grid, limits, title, labels.
#pragma once

#include <optional>

#include "services/gfx/model.h"

namespace quorin {

// Works on the current axes of the current window: removes its lines with the white reset
// line, switches the grid on, sets the limits and writes the title and the labels of the
// units (SI when siunits is 1). Throws RuntimeError naming an empty limit; the axes are then
// already empty.
void clearfunction(gfx::Model& m, std::optional<double> xmin, std::optional<double> xmax,
                   std::optional<double> ymin, std::optional<double> ymax, double siunits);

}  // namespace quorin
