// The title and axis labels of the current axes: title, xlabel and ylabel.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "services/gfx/model.h"
#include "services/value.h"

namespace quorin::annotation {

using PropertyPairs = std::vector<std::pair<std::string, Value>>;

// Pairs name/value arguments in order. Throws RuntimeError "Incorrect number of input
// arguments" for an odd count and a clear error for a name that is not a text.
PropertyPairs property_pairs(std::span<const Value> args);

// Each writes `text` into its text object of the current axes of the current window (creating
// a window and axes when there are none): the axes' FontAngle, FontName, FontSize and
// FontWeight first, for the title Rotation 0, then String, then `pairs` in order, so later
// settings win. Returns the text object's handle. Throws RuntimeError for an unknown property
// or a bad value in `pairs` (the settings before it stay applied).
gfx::Handle title(gfx::Model& m, std::string text, const PropertyPairs& pairs);
gfx::Handle xlabel(gfx::Model& m, std::string text, const PropertyPairs& pairs);
gfx::Handle ylabel(gfx::Model& m, std::string text, const PropertyPairs& pairs);

}  // namespace quorin::annotation
