// The windows of the tuning analyses (clicker sweep, closest set-up to the dyno curve, error
// against the dyno curve, damping ratio) and the damping guides drawn behind the curves of the
// comparison window. Built in the graphics model like every other window.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/tuning.h"
#include "services/gfx/model.h"

namespace quorin::analysis {

inline constexpr std::string_view kSweepWindowName = "Clicker Sweep";
inline constexpr std::string_view kClosestWindowName = "Closest Set-up to the Dyno Curve";
inline constexpr std::string_view kDynoErrorWindowName = "Error against the Dyno Curve";
inline constexpr std::string_view kRatioWindowName = "Damping Ratio";
// Tags of the axes and buttons in those windows, and of the guide lines and their labels.
inline constexpr std::string_view kSweepAxesTag = "sweep";
inline constexpr std::string_view kSweepTableTag = "sweeptable";
inline constexpr std::string_view kClosestAxesTag = "closest";
inline constexpr std::string_view kClosestTableTag = "closesttable";
inline constexpr std::string_view kDynoErrorTableTag = "dynoerrortable";
inline constexpr std::string_view kRatioCompressionTag = "ratiocompression";
inline constexpr std::string_view kRatioReboundTag = "ratiorebound";
inline constexpr std::string_view kGuideTag = "dampingguide";

// The colour of click i of n along the sweep's ramp, blue for the first to red for the last.
gfx::Color ramp_colour(std::size_t i, std::size_t n);

// The sweep window: the swept side's curves in the ramp's colours (the other side, the same
// for every click, once in grey), and the table of forces at the four velocities, one row per
// click, each led by its colour: the legend. `limits` are the comparison axes' {xmin, xmax,
// ymin, ymax}. `copy_command` runs from the Copy button. Leaves the window current.
gfx::Window& show_sweep_window(gfx::Model& m, const ClickerSweep& sweep, const ShownUnits& units,
                               const std::array<double, 4>& limits,
                               const std::string& copy_command);

// The closest-set-up window: the measured points and the best candidate of each side drawn
// over them, and per side a table of the best candidates with their RMS error (force unit
// and percent) and the error in the four velocity bands. `use_command` runs from the button
// that sets the main window's clicks to the best candidates.
gfx::Window& show_closest_window(gfx::Model& m, const ClosestSetup& found,
                                 const MeasuredSides& measured,
                                 const std::array<std::vector<double>, 4>& best_curves,
                                 const ShownUnits& units, bool si,
                                 const std::array<double, 4>& limits,
                                 const std::string& use_command);

// One row of the error window: a stored curve's side and its error against the dyno curve.
struct CurveError {
  int number = 0;
  Side side = Side::Compression;
  FitError error;
};
// `caption` names the dyno file above the table.
gfx::Window& show_dyno_error_window(gfx::Model& m, const std::vector<CurveError>& rows,
                                    const ShownUnits& units, bool si, const std::string& caption);

// The damping-ratio window: zeta against velocity of each stored curve in its colour,
// compression on top and rebound below, with the guide ratios as dotted lines; the title
// names the mass, the wheel rate and c_c.
gfx::Window& show_ratio_window(gfx::Model& m, const std::vector<RatioCurve>& curves,
                               const ShownUnits& units, double mass_kg, double rate_n_per_mm,
                               double cc);

// Draws the guide lines grey and dotted behind everything else in `axes`, each labelled with
// its ratio where it leaves the axes' limits; guides drawn before are replaced. With no lines
// the guides are only removed.
void draw_damping_guides(gfx::Model& m, gfx::Axes& axes, const std::vector<GuideLine>& lines);
// The guides' lines and labels now in `axes`.
std::vector<gfx::Object*> damping_guide_objects(gfx::Model& m, const gfx::Axes& axes);

// A number as the tuning tables show it: `decimals` places, or an empty text for NaN.
std::string table_number(double v, int decimals);

}  // namespace quorin::analysis
