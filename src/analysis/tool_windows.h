// The windows that show results of the comparison: the table of forces at velocities and the
// difference of two curves. Built in the graphics model like every other window.
#pragma once

#include <string>
#include <string_view>

#include "analysis/curve_points.h"
#include "analysis/velocity_table.h"
#include "services/gfx/model.h"

namespace quorin::analysis {

inline constexpr std::string_view kTableWindowName = "Curves at Velocities";
inline constexpr std::string_view kDifferenceWindowName = "Difference";
// Tags of the table window's controls and axes.
inline constexpr std::string_view kVelocitiesTag = "velocities";
inline constexpr std::string_view kTableAxesTag = "table";
// Tags of the difference window's axes.
inline constexpr std::string_view kForceDifferenceTag = "forcedifference";
inline constexpr std::string_view kPercentDifferenceTag = "percentdifference";
inline constexpr std::string_view kDifferenceKeyTag = "differencekey";

// The commands behind the table window's controls.
struct TableCommands {
  std::string velocities;  // the list was edited
  std::string copy;        // Copy
  std::string difference;  // Difference...
};

// The caption of the table window's velocity list, naming the units its numbers are in.
std::string velocities_caption(const ShownUnits& units);
inline constexpr std::string_view kVelocitiesCaptionTag = "velocitiescaption";

// The open window named `name`; nullptr when none is.
gfx::Window* window_named(gfx::Model& m, std::string_view name);

// The window named `name` emptied for new contents when it is open, else a new one at the
// lowest free window number from 5 up (3 and 4 are the turn windows'); made current and
// placed at `pixels` on the screen.
gfx::Window& open_tool_window(gfx::Model& m, std::string_view name, gfx::Rect pixels);

// Shows the table in its window, opening it when it is not open (at the lowest free window
// number from 5 up, leaving 3 and 4 to the turn windows) and rebuilding it otherwise; the
// velocity box shows `list_text`. Leaves the table window current.
gfx::Window& show_table_window(gfx::Model& m, const VelocityTable& table, const ShownUnits& units,
                               const std::string& list_text, const TableCommands& commands);

// What the difference window names: each curve's number and first legend line.
struct DifferenceNames {
  int a = 0, b = 0;
  std::string a_line, b_line;
};

// Shows B - A in the difference window, opening it when it is not open: force difference
// (top) and percentage of A (bottom) against velocity, compression blue and rebound red, and
// the key "B − A" with both curves' first legend lines. Leaves the difference window current.
gfx::Window& show_difference_window(gfx::Model& m, const CurveDifference& d,
                                    const DifferenceNames& names, const ShownUnits& units);

}  // namespace quorin::analysis
