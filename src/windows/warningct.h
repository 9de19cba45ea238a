// warningct: the small window that says the overlay limit is reached; each call opens another.
#pragma once

#include "services/gfx/model.h"
#include "windows/window_context.h"

namespace quorin {

// Builds a new warning window from the variable file "warningCT" and leaves it current.
// Returns its handle. Throws RuntimeError naming a missing file or variable.
gfx::Handle warningct(WindowContext& ctx);

}  // namespace quorin
