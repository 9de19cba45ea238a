// The third-valve curve: the second-newest stored curve plus half of the newest one, drawn
// into the comparison window for compression and rebound without being stored. Both curves
// are taken in the units the radio buttons show, whatever units they were plotted in.
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "plotting/plotfunction.h"
#include "processor/processor.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::actions {
namespace {

constexpr std::size_t kPoints = 300;
// Velocity steps of the points: in/s when the Imperial button is on, else m/s.
constexpr double kStepUS = 0.04;
constexpr double kStepSI = 0.001;
constexpr std::string_view kThirdLineSpec = "b-.";

// Force of the first sample (lowest sample number) faster than each velocity point, taken
// unchanged. Throws RuntimeError naming the curve when a point has no such sample.
std::vector<double> forces_at(const std::vector<double>& velocity, const std::vector<double>& force,
                              const std::vector<double>& points, std::size_t curve,
                              std::string_view side) {
  std::vector<double> out(points.size());
  // The points rise, so the first sample faster than a point never comes before the one
  // found for the point below it.
  std::size_t k = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    while (k < velocity.size() && !(velocity[k] > points[i])) ++k;
    if (k == velocity.size())
      throw RuntimeError("Curve " + std::to_string(curve) + " has no " + std::string(side) +
                         " velocity above " + num2str(points[i]) +
                         "; the third-valve curve cannot be formed.");
    if (k >= force.size())
      throw RuntimeError("Curve " + std::to_string(curve) + " has no " + std::string(side) +
                         " force for sample " + std::to_string(k + 1) + ".");
    out[i] = force[k];
  }
  return out;
}

const DamperCurve& stored_curve(const Globals& g, std::size_t curve) {
  if (curve < 1 || curve > g.plotdata.size())
    throw RuntimeError("Curve " + std::to_string(curve) + " is not stored.");
  return g.plotdata[curve - 1];
}

}  // namespace

void add3rd(Processor& p) {
  Globals& g = p.g;
  if (!(g.counter >= 3) || g.counter != std::floor(g.counter))
    throw RuntimeError("Add 3rd needs two stored curves; the curve counter is " +
                       num2str(g.counter) + ".");
  const auto third_number = static_cast<std::size_t>(g.counter) - 1;
  const std::size_t prime_number = third_number - 1;
  const DamperCurve& third = stored_curve(g, third_number);
  const DamperCurve& prime = stored_curve(g, prime_number);

  const bool us = g.usunits == 1;
  const double step = us ? kStepUS : kStepSI;
  std::vector<double> cmp_vel(kPoints), reb_vel(kPoints);
  for (std::size_t i = 0; i < kPoints; ++i)
    cmp_vel[i] = reb_vel[i] = step * static_cast<double>(i + 1);

  // The stored wheel rows are in the units of the PLOT that made each curve, which need not
  // be those of the other curve or of the step: both curves are redone from their base rows
  // in the units shown, as the comparison window draws them.
  const UnitFactors units = us ? kUSFactors : kSIFactors;
  const WheelCurves third_curve = wheel_curves(third, units);
  const WheelCurves prime_curve = wheel_curves(prime, units);

  // All forces are found before anything is drawn.
  const std::vector<double> reb_force3rd = forces_at(
      third_curve.rebound_velocity, third_curve.rebound_force, reb_vel, third_number, "rebound");
  const std::vector<double> reb_forceprime = forces_at(
      prime_curve.rebound_velocity, prime_curve.rebound_force, reb_vel, prime_number, "rebound");
  const std::vector<double> cmp_force3rd =
      forces_at(third_curve.compression_velocity, third_curve.compression_force, cmp_vel,
                third_number, "compression");
  const std::vector<double> cmp_forceprime =
      forces_at(prime_curve.compression_velocity, prime_curve.compression_force, cmp_vel,
                prime_number, "compression");

  std::vector<double> totalrforce(kPoints), totalcforce(kPoints);
  for (std::size_t i = 0; i < kPoints; ++i) {
    totalrforce[i] = reb_forceprime[i] + reb_force3rd[i] / 2;
    totalcforce[i] = cmp_forceprime[i] + cmp_force3rd[i] / 2;
  }

  gfx::Model& m = p.gfx;
  gfx::Axes& axes = m.get<gfx::Axes>(g.plothandle);
  gfx::Window& plot_window = m.figure(2);
  m.set_current_axes(g.plothandle);
  m.plot(axes, cmp_vel, totalcforce, kThirdLineSpec);
  axes.hold = true;
  m.plot(axes, reb_vel, totalrforce, kThirdLineSpec);
  plot_window.zoom = true;
  m.figure(1);
  m.touch();
}

}  // namespace quorin::actions
