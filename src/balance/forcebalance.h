// Front/rear damping balance of a car in a left-hand and a right-hand turn, from four corner
// curves: the corner forces against velocity and the front share in percent, drawn into the
// two turn windows.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "services/gfx/model.h"

namespace quorin {

// One corner's curves at the wheel as a damper-curve record stores them: velocities ascending
// from zero, compression forces positive, rebound forces negative, in the units the record
// was made in.
struct CornerCurves {
  std::span<const double> compression_velocity, compression_force;
  std::span<const double> rebound_velocity, rebound_force;
};

// The corners in the order the curves are taken: 1 left front, 2 right front, 3 left rear,
// 4 right rear.
inline constexpr std::size_t kCorners = 4;

// The force, balance and key axes of the left-hand-turn and right-hand-turn windows.
struct BalanceAxes {
  gfx::Handle plothandle_lht, balance_lht, ID_lht;
  gfx::Handle plothandle_rht, balance_rht, ID_rht;
};

// The comparison plot's limits; only ymin and ymax are used, as the force axes' vertical range.
struct BalanceLimits {
  std::optional<double> xmin, xmax, ymin, ymax;
};

// What differs between the metric and the imperial balance: the velocity step and top, and
// the axis labels.
struct BalanceScale {
  double step;
  double top;
  std::string_view force_label;
  std::string_view velocity_label;
};
inline constexpr BalanceScale kMetricBalance{0.0015, 0.25, "Force (N)", "Velocity (m/s)"};
inline constexpr BalanceScale kImperialBalance{0.06, 10, "Force (lbs)", "Velocity (inches/s)"};

// One turn's comparison: the two compressing corners, the two extending corners (forces
// negative) and the front share of each pair in percent (NaN where the pair's forces sum to
// zero, drawn as a gap).
struct TurnBalance {
  std::vector<double> comp_front, comp_rear, reb_front, reb_rear;
  std::vector<double> comp_balance, reb_balance;
};
struct ForceBalance {
  std::vector<double> x;  // 0, step, 2 step, ... up to the last multiple not above top
  TurnBalance lht;        // right-hand corners compress, left-hand corners extend
  TurnBalance rht;        // the mirror image
};

// Samples each corner's force at the first sample strictly faster than each velocity point
// (no interpolation). Uses the first four corners and ignores the rest. Throws RuntimeError
// when fewer than four corners are given or a curve never goes faster than a velocity point.
ForceBalance force_balance(std::span<const CornerCurves> corners, const BalanceScale& scale);

// Throws RuntimeError naming the first handle that is not a live axes (a closed turn window).
void check_balance_axes(gfx::Model& m, const BalanceAxes& axes);

// Draws the balance into the turn windows (the windows of the given axes): forces in the force
// axes with the limits [0 top ymin ymax], the front shares in the balance axes with automatic
// limits, and the key; leaves window 1 current. Everything is checked before anything is
// drawn: the corners (as `force_balance`), the axes and ymin < ymax; a failure throws
// RuntimeError and changes nothing.
void forcebalance(gfx::Model& m, std::span<const CornerCurves> corners, const BalanceAxes& axes,
                  const BalanceLimits& limits, const BalanceScale& scale);

// The two program functions: velocities and forces in SI units (m/s, N) and in US units
// (inches/s, lbs). Neither converts: the corner curves are taken as they are.
void forcebalancemetric(gfx::Model& m, std::span<const CornerCurves> corners,
                        const BalanceAxes& axes, const BalanceLimits& limits);
void forcebalanceimperial(gfx::Model& m, std::span<const CornerCurves> corners,
                          const BalanceAxes& axes, const BalanceLimits& limits);

}  // namespace quorin
