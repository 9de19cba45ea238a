// The corner curves the front/rear balance takes from stored damper curves: the four rows at
// the wheel of records 1 to 4 (left front, right front, left rear, right rear).
#pragma once

#include <span>
#include <vector>

#include "balance/forcebalance.h"
#include "plotting/damper_curve.h"

namespace quorin {

// Views of every record's wheel rows, in record order; they stay valid while `plotdata` is
// not changed.
std::vector<CornerCurves> corner_curves(const std::vector<DamperCurve>& plotdata);

struct Processor;
// The balance of the four corner curves, in the units the radio buttons show, drawn into the
// turn windows: the turn windows, the limits and the corners are checked before either
// window is cleared; a failure throws RuntimeError and changes nothing. Leaves window 1
// current.
void draw_balance(Processor& p, std::span<const CornerCurves> corners);

}  // namespace quorin
