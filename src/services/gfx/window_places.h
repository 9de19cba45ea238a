// Where the user left each window: kept in the settings under the window's name when it moves
// or closes, and given back to the window when it opens in a later session.
#pragma once

#include <string>

#include "services/gfx/model.h"
#include "services/settings.h"

namespace quorin::gfx {

// The settings key of a window's place: by its name ("Damper Curve Comparison"), or by its
// number when it has none.
std::string window_place_key(const Window& w);

// Keeps the window's position and size, with its units.
void remember_place(const Window& w, Settings& settings);

// Moves the window to its kept place when one is kept in the window's units, is well formed
// and still lies on `screen` (in the same units, from its lower-left corner) with the top
// edge, where the title bar is, reachable. A window the user cannot resize keeps its own
// size and only takes the kept top-left corner. Returns whether the window moved.
bool restore_place(Window& w, const Settings& settings, const Rect& screen);

}  // namespace quorin::gfx
