// rht: the "Right Hand Turn" balance window (window 4 at start-up).
#pragma once

#include "windows/turn_window.h"

namespace quorin {

extern const TurnWindowDesign kRightHandTurn;
gfx::Handle rht(WindowContext& ctx);

}  // namespace quorin
