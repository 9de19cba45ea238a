// Resampling of measured damper curves onto a force grid of whole newtons: the valve curve
// (curve), the bleed curve with its forced linear start (bleed), and the straightening of the
// low-force part of a shim flow (correction).
#pragma once

#include <span>
#include <vector>

namespace quorin {

// The velocity grid both resamplers use: 0, d, 2d, ..., with d = vmax / N, where vmax is the
// last measured velocity and N the last grid force. It has exactly N + 1 points; point k is
// built as k * d, so the last point equals vmax up to rounding of that product.
// Throws RuntimeError naming `function` when N is not a whole number of at least 1.
std::vector<double> velocity_grid(double vmax, double n, const char* function);

struct CurveResult {
  std::vector<double> xspline;  // velocity (m/s) at each grid force, one per ystep entry
  std::vector<double> yspline;  // force (N) at each grid velocity, one per step entry
  std::vector<double> step;     // the velocity grid
};

// A measured valve curve (velocities `xmeasured` ascending, forces `ymeasured`) resampled on
// the force grid `ystep` (0, 1, ..., N; only its last entry and its values are used), both
// directions through the not-a-knot spline of the measured points.
// Throws RuntimeError for empty or unequal rows, repeated abscissae, or a grid not ending in a
// whole N >= 1.
CurveResult curve(std::span<const double> xmeasured, std::span<const double> ymeasured,
                  std::span<const double> ystep);

// `curve(...).xspline` alone, with the same checks and failures, for callers that do not use
// the force on the velocity grid.
std::vector<double> curve_velocity(std::span<const double> xmeasured,
                                   std::span<const double> ymeasured,
                                   std::span<const double> ystep);

struct BleedResult {
  std::vector<double> xspline;  // bleed velocity (m/s) at each grid force, linear up to 99 N
  std::vector<double> yspline;  // force (N) at each grid velocity
};

// A measured bleed curve resampled on the force grid: the force is resampled on the velocity
// grid first and the velocity then read off that resampled curve at each grid force. The
// first 100 points are then replaced by a straight line from 0 reaching 0.99 of the velocity
// at 99 N at point 100. Throws RuntimeError as `curve` does, and when the force grid has fewer
// than 100 points.
BleedResult bleed(std::span<const double> xmeasured, std::span<const double> ymeasured,
                  std::span<const double> ystep);

// The shim flow `var` straightened at low force: with the smallest value from point 100 on at
// point 100 + k - 1, points 1 to index = k + 100 become a straight line from 0 towards
// var(index); the rest is kept. Throws RuntimeError when `var` has fewer than 100 points or its
// minimum is at the last point (the line would need the point after it).
std::vector<double> correction(std::vector<double> var);

}  // namespace quorin
