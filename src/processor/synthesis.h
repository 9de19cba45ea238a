// The synthesis of one damper set-up's curves from the valving and bleed tables: the record
// PLOT stores, and the same numbers for every analysis that asks "what would PLOT draw".
#pragma once

#include <string>

#include "plotting/damper_curve.h"
#include "plotting/plotfunction.h"
#include "processor/bleed_data.h"
#include "processor/globals.h"
#include "services/gfx/model.h"

namespace quorin {

// One side's selections as the main window shows them: popup rows (1-based) and row texts.
struct SideSelection {
  double valve = 0, spring = 0, high_value = 0, bleed_value = 0;
  std::string valve_text, seat_text, spring_text, bleed_text, high_text;
};

// A whole set-up: both sides, the motion ratio and the three diameters as their boxes hold them.
struct SetupSelection {
  SideSelection compression, rebound;
  std::string motion_ratio_text;
  std::string internal_shaft_text, external_shaft_text, piston_text;
};

// Reads the valve, spring, click and seat controls of the current window, then makes window 1
// current and reads the motion ratio and diameter boxes there. Throws RuntimeError naming a
// missing control or a popup row that does not exist.
SetupSelection read_setup(gfx::Model& m);

// One side at the damper: velocity (m/s) at each whole newton of the force grid 0, 1, ..., N.
struct SideCurve {
  std::vector<double> velocity, force;
};

// The side's curve: the valve curve of the selected valve, spring and high-speed setting with
// the reference bleed replaced by the selected low-speed setting. Throws RuntimeError naming
// a missing table entry, a click text that is not a number or a curve that ends below 99 N.
SideCurve synthesise_compression(const SideSelection& s, const Globals& tables,
                                 const BleedData& bleeds);
SideCurve synthesise_rebound(const SideSelection& s, const Globals& tables,
                             const BleedData& bleeds);

// The two halves of a side's synthesis, for analyses that try many low-speed clicks on one
// valve entry; synthesise_compression and synthesise_rebound are add_bleed of the shim flow.
// The shim flow of the side's valve, spring and high-speed setting at each whole newton of
// the grid (measured minus reference bleed, straightened at low force):
struct ShimFlow {
  std::vector<double> force, shim, reference_bleed;
};
ShimFlow compression_shim_flow(const SideSelection& s, const Globals& tables,
                               const BleedData& bleeds);
ShimFlow rebound_shim_flow(const SideSelection& s, const Globals& tables, const BleedData& bleeds);
// The side's curve: the shim flow plus the velocity of the bleed setting `bleed_text` + 1 at
// each grid force. `what` names the setting in the message when the text is not a number.
SideCurve add_bleed(const ShimFlow& flow, const std::string& bleed_text, std::string_view what,
                    const BleedData& bleeds);

// The scales and motion ratio of a set-up, checked as PLOT checks them: the motion ratio a
// number above 0, the diameters numbers from 0 up with the piston larger than both shafts.
struct SetupScales {
  double compscale = 1, rebscale = 1, motionratio = 1;
};
SetupScales setup_scales(const SetupSelection& s);

// Checks what PLOT checks before it reads the bleed data: the motion ratio, the record number
// (a whole number from 1 up), the four click texts and the valve texts. Throws RuntimeError.
void check_setup(const SetupSelection& s, double record_number);

// The record PLOT stores as curve `record_number` for set-up `s`, its wheel rows in `units`:
// the base rows, scales, wheel rows and the four legend lines. Throws RuntimeError, building
// nothing, for whatever PLOT refuses.
DamperCurve synthesise_setup(const SetupSelection& s, const Globals& tables,
                             const BleedData& bleeds, UnitFactors units, double record_number);

// The high-speed index into the valving table for a spring row, the click text's number and
// the popup row; `threshold` is 2 for compression and 3 for rebound.
double high_speed_index(double spring, double clicks, double row, double threshold);

}  // namespace quorin
