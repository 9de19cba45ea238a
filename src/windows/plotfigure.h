// plotfigure: the "Damper Curve Comparison" window with its curve axes "plotwindow", its
// legend axes "ID" and its logo.
#pragma once

#include "services/gfx/model.h"
#include "windows/window_context.h"

namespace quorin {

// Builds the comparison window from the variable file "plotfigure" in the start folder and
// leaves it current. Returns its handle. Throws RuntimeError naming a missing file or
// variable (objects made before it stay).
gfx::Handle plotfigure(WindowContext& ctx);

}  // namespace quorin
