#include "processor/resample.h"

#include <cmath>
#include <string>

#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

// The linear start of bleed covers forces 0 to 99 N; correction looks for its minimum from
// point 100 on.
constexpr std::size_t kLinearStartPoints = 100;
// A grid of one point per newton up to 10 MN is far beyond any damper; larger grids would
// only exhaust memory.
constexpr double kMaxGridForce = 1e7;

std::string number_text(double v) { return num2str(v); }

double last_measured_velocity(std::span<const double> xmeasured, const char* function) {
  if (xmeasured.empty())
    throw RuntimeError(std::string(function) + ": the measured curve has no points.");
  return xmeasured.back();
}

double last_grid_force(std::span<const double> ystep, const char* function) {
  if (ystep.empty()) throw RuntimeError(std::string(function) + ": the force grid ystep is empty.");
  return ystep.back();
}

// Points 1 to `count` become 0, w/count, 2 w/count, ...: a running sum that starts at 0 and
// adds w/count after each point, so every build gives the same bits.
void linear_start(std::vector<double>& v, std::size_t count, double w) {
  const double increment = w / static_cast<double>(count);
  double sum = 0;
  for (std::size_t i = 0; i < count; ++i) {
    v[i] = sum;
    sum += increment;
  }
}

void check_grid_force(double n, const char* function) {
  if (!(n >= 1) || n != std::floor(n) || n > kMaxGridForce)
    throw RuntimeError(std::string(function) +
                       ": the force grid must end in a whole number of newtons from 1 to " +
                       number_text(kMaxGridForce) + "; its last entry is " + number_text(n) + ".");
}

}  // namespace

std::vector<double> velocity_grid(double vmax, double n, const char* function) {
  check_grid_force(n, function);
  const double d = vmax / n;
  const auto points = static_cast<std::size_t>(n) + 1;
  std::vector<double> step(points);
  for (std::size_t k = 0; k < points; ++k) step[k] = static_cast<double>(k) * d;
  return step;
}

CurveResult curve(std::span<const double> xmeasured, std::span<const double> ymeasured,
                  std::span<const double> ystep) {
  const double vmax = last_measured_velocity(xmeasured, "curve");
  CurveResult r;
  r.step = velocity_grid(vmax, last_grid_force(ystep, "curve"), "curve");
  r.yspline = spline(xmeasured, ymeasured, r.step);
  r.xspline = spline(ymeasured, xmeasured, ystep);
  return r;
}

std::vector<double> curve_velocity(std::span<const double> xmeasured,
                                   std::span<const double> ymeasured,
                                   std::span<const double> ystep) {
  last_measured_velocity(xmeasured, "curve");
  check_grid_force(last_grid_force(ystep, "curve"), "curve");
  // The force on the velocity grid is not wanted, but the spline through the measured points
  // is still made, so bad points fail just as in `curve`.
  spline(xmeasured, ymeasured, std::span<const double>());
  return spline(ymeasured, xmeasured, ystep);
}

BleedResult bleed(std::span<const double> xmeasured, std::span<const double> ymeasured,
                  std::span<const double> ystep) {
  const double vmax = last_measured_velocity(xmeasured, "bleed");
  const std::vector<double> step = velocity_grid(vmax, last_grid_force(ystep, "bleed"), "bleed");
  if (ystep.size() < kLinearStartPoints)
    throw RuntimeError("bleed: the force grid has " + std::to_string(ystep.size()) +
                       " points; the linear start up to 99 N needs at least 100.");
  BleedResult r;
  r.yspline = spline(xmeasured, ymeasured, step);
  r.xspline = spline(r.yspline, step, ystep);
  linear_start(r.xspline, kLinearStartPoints, r.xspline[kLinearStartPoints - 1]);
  return r;
}

std::vector<double> correction(std::vector<double> var) {
  if (var.size() < kLinearStartPoints)
    throw RuntimeError("correction: the shim flow has " + std::to_string(var.size()) +
                       " points; at least 100 are needed.");
  const auto tail = std::span<const double>(var).subspan(kLinearStartPoints - 1);
  const std::size_t index = min_with_position(tail).position + kLinearStartPoints;  // 1-based
  if (index > var.size())
    throw RuntimeError("correction: the shim flow has its minimum from point 100 on at its last "
                       "point " + std::to_string(var.size()) +
                       ", so there is no point after it to end the straight line at.");
  linear_start(var, index, var[index - 1]);
  return var;
}

}  // namespace quorin
