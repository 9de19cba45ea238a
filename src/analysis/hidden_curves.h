// Stored curves the user has hidden by a click on their legend marker: they stay stored and
// keep their number; their lines are not drawn and their marker shows hollow.
#pragma once

#include <functional>
#include <set>
#include <string>

#include "services/gfx/model.h"

namespace quorin::analysis {

// Brings the comparison picture in line with the hidden curves: the lines and the legend
// marker drawn for curve i (known by the curve number PLOT gives them, whatever else is drawn
// beside them) are hidden or shown. Every marker gets `click_command(i)` as the command its
// click runs.
void apply_hidden_curves(gfx::Model& m, gfx::Axes& plot, gfx::Axes& legend,
                         const std::set<int>& hidden,
                         const std::function<std::string(int)>& click_command);

// The legend markers of the stored curves, in the order they were drawn.
std::vector<gfx::Line*> legend_markers(gfx::Model& m, const gfx::Axes& legend);

}  // namespace quorin::analysis
