// lht: the "Left Hand Turn" balance window (window 3 at start-up).
#pragma once

#include "windows/turn_window.h"

namespace quorin {

extern const TurnWindowDesign kLeftHandTurn;
gfx::Handle lht(WindowContext& ctx);

}  // namespace quorin
