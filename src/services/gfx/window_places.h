// Where the user left each window: kept in the settings under the window's name when it moves
// or closes, and given back to the window when it opens in a later session.
#pragma once

#include <optional>
#include <span>
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

// Room left between windows placed side by side, and kept free above a window for the title
// bar the window manager adds, in pixels.
inline constexpr double kWindowGap = 12;
inline constexpr double kTitleBarRoom = 30;

// Everything below is in pixels, on `screen` from its lower-left corner.

// `first` moved left, as little as it takes, so that a window `width` wide fits on the screen
// to its right; at most to the screen's left edge.
Rect make_room_beside(const Rect& first, double width, const Rect& screen);

// Where `opening` goes so that it covers none of `shown`: to its right with the tops level,
// else below it; narrowed or lowered as far as `min_width` by `min_height` when that makes
// it fit. nullopt when the screen has no such room.
std::optional<Rect> place_beside(const Rect& shown, const Rect& opening, double min_width,
                                 double min_height, const Rect& screen);

// The windows in a row from the screen's left edge, in the order given, their tops level
// just under the screen's top; each narrowed alike (not below `min_width`) and lowered (not
// below `min_height`) when the screen is too small for them. Returns false and leaves them
// as they are when even that does not fit.
bool side_by_side(std::span<Rect> windows, double min_width, double min_height, const Rect& screen);

// The window's place in pixels on `screen`.
Rect in_pixels(const Window& w, const Rect& screen);

// Whether two rectangles share any area.
bool overlap(const Rect& a, const Rect& b);

}  // namespace quorin::gfx
