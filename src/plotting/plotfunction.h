// Drawing the stored damper curves with their legend into the comparison window (window 2),
// with the held import and dyno overlays.
#pragma once

#include <array>
#include <iosfwd>
#include <optional>
#include <string_view>
#include <vector>

#include "plotting/damper_curve.h"
#include "services/gfx/model.h"
#include "services/numeric.h"
#include "services/value.h"

namespace quorin {

// Redraws window 2 from the records 1 to counter - 1 of `plotdata`: every curve converted
// from its base rows to the units selected in the main window (window 1) at drawing time,
// the legend in the axes `IDhandle`, and, when the main window's hold boxes are ticked, the
// import curve (columns 2 and 3 of `import` against column 1) and the dyno curve of
// `ShockData` converted from its channels' units to the units shown (see dyno_overlay_curve
// in plotting/overlays.h), its warning line going to `console` (none when null). Leaves
// window 1 current. Throws RuntimeError when a limit box of the main window holds no number
// (after the curves are drawn), when a record is missing, or when an overlay's data are
// unusable.
void plotfunction(gfx::Model& m, const std::vector<DamperCurve>& plotdata, gfx::Handle plothandle,
                  gfx::Handle IDhandle, double counter, const Matrix& import,
                  const Value& ShockData, std::ostream* console = nullptr);

// Spreads the legend's lines and fits its font to the room the legend axes has on the screen,
// so the lines stay apart in a low window; in a window of the built size they stay where
// plotfunction draws them. For the comparison window's layout, which plotfunction runs after
// every redraw.
void fit_legend(gfx::Model& m, gfx::Axes& legend);

// Display factors: velocities are multiplied by `velocity`, forces divided by `force`.
struct UnitFactors {
  double velocity = 1;
  double force = 1;
};
inline constexpr UnitFactors kSIFactors{1, 1};
inline constexpr UnitFactors kUSFactors{39.37007874015748, 4.45374};

// A record's curves at the wheel in the given display units, computed from its base rows.
struct WheelCurves {
  std::vector<double> compression_velocity, compression_force;
  std::vector<double> rebound_velocity, rebound_force;
};
WheelCurves wheel_curves(const DamperCurve& p, UnitFactors units);

// The stored curve a line of the comparison window draws (its two lines and its legend
// marker), kept in the line's user data: the number of the record, 1, 2, ...
inline constexpr std::string_view kCurveNumberProperty = "userdata";
// The record number a line was drawn for; nothing for every other line.
std::optional<int> curve_number_of(const gfx::Line& line);

// The colour letters of records 1, 2, ... (eleven entries).
inline constexpr std::array<std::string_view, 11> kLinestyle = {"b", "r", "g", "k", "y", "m",
                                                                "c", "b", "r", "g", "k"};

}  // namespace quorin
