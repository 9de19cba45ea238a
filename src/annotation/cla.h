// Clearing the current axes of what was plotted into it.
#pragma once

#include "services/gfx/model.h"

namespace quorin::annotation {

// Deletes the children with visible handles of the current axes of the current window (its
// title and labels stay), keeps every property of the axes and returns the axes' handle.
gfx::Handle cla(gfx::Model& m);

}  // namespace quorin::annotation
