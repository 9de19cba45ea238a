// The grip map: every click of one adjuster, or every click pair of both adjusters of one
// side, on one road, as RMS tyre-load variation (grip) against RMS body acceleration (comfort),
// with the set-ups that no other beats on both (the Pareto front).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ride.h"
#include "analysis/tuning.h"

namespace quorin::analysis {

// What is swept: one adjuster, or both of one side.
struct GripSweep {
  bool compression = true;
  bool low = true, high = true;
};
// "LSC", "HSC", "LSR", "HSR", "LSC and HSC", "LSR and HSR".
inline constexpr std::array<std::string_view, 6> kGripSweepNames = {
    "LSC", "HSC", "LSR", "HSR", "LSC and HSC", "LSR and HSR"};
std::string grip_sweep_name(const GripSweep& s);
// Throws RuntimeError for a name that is none of kGripSweepNames.
GripSweep grip_sweep_named(std::string_view name);

struct GripPoint {
  // Popup rows and click texts of the low- and high-speed adjusters of the swept side (the
  // set-up's own where an adjuster is not swept).
  std::size_t low_row = 0, high_row = 0;
  std::string low_click, high_click;
  double tyre_load_rms_n = 0, tyre_load_rms_percent = 0, body_accel_rms = 0;
  bool on_front = false;
};

struct GripMap {
  GripSweep sweep;
  std::vector<GripPoint> points;  // in sweep order, high-speed row outermost
  std::size_t refused = 0;        // click pairs PLOT refuses (no table entry)
};

// Marks the points that no other point beats on both measures (lower or equal on both and
// lower on one).
void mark_pareto_front(std::vector<GripPoint>& points);

// Every set-up of the sweep, the rest of `s` as it is, synthesised as PLOT would and driven
// over `road` at `speed_kmh`, on up to `threads` threads. `go_on` is called on the calling
// thread only; when it returns false the map throws RuntimeError ("The grip map was
// cancelled; nothing was changed."). Throws RuntimeError for whatever PLOT refuses in the
// rest of the set-up.
GripMap grip_map(const SetupSelection& s, const GripSweep& sweep, const ClickRows& rows,
                 const Globals& tables, const BleedData& bleeds, const QuarterCar& car,
                 const RoadProfile& road, double speed_kmh, unsigned threads = 2,
                 const GoOn& go_on = {});

}  // namespace quorin::analysis
