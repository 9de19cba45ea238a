// Tuning analyses computed from the synthesis exactly as PLOT computes it: what each click of
// one adjuster does (the clicker sweep), which clicks come closest to a measured dyno curve,
// and the damping ratio at the wheel against the critical damping of a car's corner.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/curve_points.h"
#include "processor/synthesis.h"

namespace quorin::analysis {

// Told after each step of a long piece of work how many of how many steps are done; returns
// false to stop it. An empty one never stops anything.
using GoOn = std::function<bool(std::size_t done, std::size_t total)>;

// The four click adjusters of the main window.
enum class Adjuster { LSC, HSC, LSR, HSR };
inline constexpr std::array<Adjuster, 4> kAdjusters = {Adjuster::LSC, Adjuster::HSC, Adjuster::LSR,
                                                       Adjuster::HSR};
std::string_view adjuster_name(Adjuster a);  // "LSC", ... (the popup's Tag)
// Throws RuntimeError for a name that is none of the four.
Adjuster adjuster_named(std::string_view name);
bool adjusts_compression(Adjuster a);

// The set-up with adjuster `a` at popup row `row` (1-based) of `rows`, as a user choosing that
// row leaves it. Throws RuntimeError when the popup has no such row.
SetupSelection with_click(SetupSelection s, Adjuster a, std::size_t row,
                          const std::vector<std::string>& rows);

// The four velocities of the sweep's table in the units shown: 0.025, 0.05, 0.1, 0.25 m/s or
// 1, 2, 5, 10 in/s.
std::array<double, 4> sweep_velocities(bool si);

// One curve per click of one adjuster, the other selections as they are: each the record PLOT
// would store as curve `record_number` for that click, wheel rows in `units`.
struct SweepCurve {
  std::size_t row = 0;  // popup row
  std::string click;    // its text
  DamperCurve curve;
};
struct ClickerSweep {
  Adjuster adjuster = Adjuster::LSC;
  std::vector<SweepCurve> curves;  // first to last click
  std::array<double, 4> velocity{};
  // force[c][k]: curve c's force on the swept side at velocity k, as drawn (rebound negative);
  // nullopt where the curve does not reach it.
  std::vector<std::array<std::optional<double>, 4>> force;
};
// Rows first_row .. last_row (1-based, inclusive) of `rows`, one step per row. Throws
// RuntimeError for an empty or out-of-range range, for whatever PLOT would refuse and when
// `go_on` stops it ("The clicker sweep was cancelled; nothing was changed.").
ClickerSweep clicker_sweep(const SetupSelection& s, Adjuster a,
                           const std::vector<std::string>& rows, std::size_t first_row,
                           std::size_t last_row, const Globals& tables, const BleedData& bleeds,
                           UnitFactors units, double record_number, bool si,
                           const GoOn& go_on = {});
// The table as tab-separated lines: "LSC", the four velocities with the unit, then one line
// per click with the forces (blank where a curve does not reach the velocity).
std::string sweep_tsv(const ClickerSweep& sweep, const ShownUnits& units);

// A measured curve split as drawn: points above zero force are the compression side, points
// below it the rebound side (forces negative), in the units shown. Samples whose velocity or
// force is not a finite number are left out and counted.
struct MeasuredSides {
  std::vector<double> compression_velocity, compression_force;
  std::vector<double> rebound_velocity, rebound_force;
  std::size_t not_finite = 0;
};
MeasuredSides measured_sides(const std::vector<double>& velocity, const std::vector<double>& force);

// Measured points of one side merged per velocity, in rising velocity. A curve is read once
// per measured velocity, so the samples at one velocity enter the error measure through their
// number, their mean force and the sum of their squared deviations from it:
// sum (c - F_i)^2 = n (c - mean)^2 + spread. Samples that are not finite numbers are left out.
// Runs of neighbouring merged points are kept with their moments about their own means
// (weighted by samples): where a straight piece of a curve spans a whole run, the run's sum of
// squares is n (c(mean velocity) - mean force)^2 + s^2 Svv - 2 s Svf + Sff for the piece's
// slope s, the same sum as its points give one by one.
struct PointRun {
  std::size_t first = 0, last = 0;  // merged points first .. last
  double first_velocity = 0, last_velocity = 0;
  double samples = 0, mean_velocity = 0, mean_force = 0;
  double svv = 0, svf = 0, sff = 0;  // sums of products of deviations from the means
};
struct MergedPoints {
  std::vector<double> velocity, mean_force, spread;
  std::vector<std::size_t> count;
  std::vector<PointRun> runs;  // the points in order, a few to a run
  std::size_t samples = 0;     // samples merged
};
MergedPoints merge_points(const std::vector<double>& velocity, const std::vector<double>& force);

// Upper edges of the first three velocity bands in the units shown (0.05, 0.1, 0.25 m/s or 2,
// 4, 10 in/s); the fourth band is everything above the last edge.
std::array<double, 3> band_edges(bool si);
// "0-0.05", "0.05-0.1", "0.1-0.25", ">0.25" (or the in/s edges).
std::array<std::string, 4> band_names(bool si);

// The error of a drawn curve against measured points of the same side: at every measured
// velocity within the range of both curves the curve's force is read off linearly between
// its points and the measured force taken from it. rms = sqrt(mean(e^2)) in the force unit
// shown, percent = 100 rms / sqrt(mean(F_measured^2)), and the same RMS in each velocity band.
// NaN where no point is compared.
struct FitError {
  std::size_t points = 0;
  double rms = 0, percent = 0;
  std::array<double, 4> band_rms{};
  std::array<std::size_t, 4> band_points{};
};
// Measured samples that are not finite numbers are left out.
FitError fit_error(const std::vector<double>& curve_velocity,
                   const std::vector<double>& curve_force,
                   const std::vector<double>& measured_velocity,
                   const std::vector<double>& measured_force, const std::array<double, 3>& edges);
// The same against merged points; `points` counts the samples compared.
FitError fit_error(const std::vector<double>& curve_velocity,
                   const std::vector<double>& curve_force, const MergedPoints& measured,
                   const std::array<double, 3>& edges);

// One candidate of the search: low- and high-speed popup rows with their click texts, and the
// other high-speed clicks that give the same curve (the valving tables share an entry).
struct Candidate {
  std::size_t low_row = 0, high_row = 0;
  std::string low_click, high_click;
  std::vector<std::string> same_high_clicks;
  FitError error;
};
struct SideSearch {
  // Lowest RMS first; only candidates compared with at least one measured point.
  std::vector<Candidate> best;
  std::size_t tried = 0;    // distinct curves compared
  std::size_t refused = 0;  // combinations the synthesis refuses (no table entry)
  std::size_t points = 0;   // measured samples of the side
  std::string why_none;     // why `best` is empty, in words; empty when it is not
};
struct ClosestSetup {
  SideSearch compression, rebound;
};
// The rows of the four click popups of the main window.
struct ClickRows {
  std::vector<std::string> lsc, hsc, lsr, hsr;
};
// Every LSC x HSC combination against the measured compression points and every LSR x HSR
// combination against the rebound points, the rest of `s` as it is, each synthesised as PLOT
// would and drawn in `units`; the best `keep` per side. Throws RuntimeError when the set-up's
// other boxes are refused by PLOT.
// A side with no measured point is not searched. The measured points are merged per
// velocity first, so a long dyno file costs about what its distinct velocities cost. One step
// per high-speed row of each side; when `go_on` stops it, throws RuntimeError ("The search
// for the closest set-up was cancelled; nothing was changed.").
ClosestSetup closest_setup(const SetupSelection& s, const ClickRows& rows, const Globals& tables,
                           const BleedData& bleeds, UnitFactors units,
                           const MeasuredSides& measured, const std::array<double, 3>& edges,
                           std::size_t keep = 5, const GoOn& go_on = {});

// The valve and spring popups of each side: the whole-set-up search tries every row.
struct ValveRows {
  std::vector<std::string> compression_valves, compression_springs;
  std::vector<std::string> rebound_valves, rebound_springs;
};
// One candidate of the whole-set-up search: the valve and spring rows with their texts, and
// the low- and high-speed clicks on them.
struct WholeCandidate {
  std::size_t valve_row = 0, spring_row = 0;
  std::string valve_text, spring_text;
  Candidate clicks;
};
struct WholeSide {
  std::vector<WholeCandidate> best;  // lowest RMS first
  std::size_t tried = 0;             // distinct curves compared
  std::size_t refused = 0;           // combinations the synthesis refuses
  std::size_t points = 0;            // measured samples of the side
  std::string why_none;              // why `best` is empty; empty when it is not
  bool searched = false;
};
struct WholeSetup {
  WholeSide compression, rebound;
};
// The closest-set-up search over every valve and spring row of a side as well as its clicks
// (blank valve rows are skipped), the rest of `s` as it is: the best `keep` of each side
// searched. One step per valve and spring pair; when `go_on` stops it, throws RuntimeError
// ("The search for the whole set-up was cancelled; nothing was changed."). Throws RuntimeError
// when the set-up's other boxes are refused by PLOT.
WholeSetup whole_setup(const SetupSelection& s, const ValveRows& valves, const ClickRows& rows,
                       const Globals& tables, const BleedData& bleeds, UnitFactors units,
                       const MeasuredSides& measured, const std::array<double, 3>& edges,
                       bool compression, bool rebound, std::size_t keep = 5,
                       const GoOn& go_on = {});
// `s` with a side's valve, spring and clicks set to candidate `c`, as a user choosing those
// rows leaves it.
SetupSelection with_whole_candidate(SetupSelection s, bool compression, const WholeCandidate& c,
                                    const ClickRows& rows);

// The best candidate of each side that has one, drawn as PLOT would draw it with the rest of
// `s` as it is: {compression velocity, force, rebound velocity, force}, both rows of a side
// empty when it has no best. Throws RuntimeError for whatever PLOT would refuse.
std::array<std::vector<double>, 4> best_curves(const SetupSelection& s, const ClickRows& rows,
                                               const ClosestSetup& found, const Globals& tables,
                                               const BleedData& bleeds, UnitFactors units);

// Critical damping at the wheel, N·s/m: c_c = 2 sqrt(k m) with k = wheel rate (N/mm) x 1000 in
// N/m and m the corner's sprung mass in kg. Throws RuntimeError unless both are finite and
// above 0.
double critical_damping(double sprung_mass_kg, double wheel_rate_n_per_mm);
// The damping ratios the guides show.
inline constexpr std::array<double, 4> kGuideRatios = {0.2, 0.4, 0.7, 1.0};
// The force of damping ratio `zeta` at wheel velocity `velocity` in the units shown:
// F = zeta c_c v, with v and F converted from and to the units shown.
double guide_force(double zeta, double cc, double velocity, UnitFactors units);

// One guide line from the origin to the velocity `to` in the units shown, compression above
// zero and rebound below.
struct GuideLine {
  double zeta = 0;
  bool compression = true;
  std::array<double, 2> velocity{}, force{};
};
std::vector<GuideLine> damping_guides(double cc, UnitFactors units, double to);

// The damping ratio zeta(v) = (F(v) / v) / c_c of one side of a stored curve at the wheel,
// for v > 0 only; velocities in the units shown, F and v in SI for the ratio.
struct RatioCurve {
  int number = 0;
  Side side = Side::Compression;
  std::vector<double> velocity, ratio;
};
std::vector<RatioCurve> damping_ratio_curves(const std::vector<DamperCurve>& plotdata,
                                             double counter, UnitFactors units, double cc);

}  // namespace quorin::analysis
