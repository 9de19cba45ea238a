// The corner curves the front/rear balance takes from stored damper curves: the four rows at
// the wheel of records 1 to 4 (left front, right front, left rear, right rear).
#pragma once

#include <vector>

#include "balance/forcebalance.h"
#include "plotting/damper_curve.h"

namespace quorin {

// Views of every record's wheel rows, in record order; they stay valid while `plotdata` is
// not changed.
std::vector<CornerCurves> corner_curves(const std::vector<DamperCurve>& plotdata);

}  // namespace quorin
