// The quarter car with the shipped set-ups' curves as its damper, against a converged solution
// of the same equations by an error-controlled Dormand-Prince integrator at tight tolerance.
#include <gtest/gtest.h>

#include <boost/numeric/odeint.hpp>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "analysis/grip_map.h"
#include "analysis/ride.h"
#include "plotting/plotfunction.h"
#include "processor/synthesis.h"
#include "services/runtime_error.h"
#include "startup/started_program.h"

namespace quorin {
namespace {

using analysis::DamperLaw;
using analysis::QuarterCar;
using analysis::RoadProfile;

// The seven set-ups the comparison window shows in the user guide: the clicks and valves
// changed from one PLOT to the next.
struct SetupStep {
  std::vector<std::pair<const char*, double>> values;
  std::vector<std::pair<const char*, const char*>> texts;
};
const std::vector<SetupStep> kGuideSetups = {
    {{}, {}},
    {{{"LSC", 11}}, {}},
    {{{"HSC", 16}, {"HSR", 11}}, {}},
    {{{"CompressionValve", 1}, {"ReboundValve", 1}}, {}},
    {{{"CompressionSpring", 1}, {"LSR", 6}}, {}},
    {{}, {{"internalshaft", "0"}}},
    {{{"CompressionValve", 6}}, {{"motionratio", "1.5"}}},
};

class RideSetups : public test::StartedProgram {
 protected:
  // Stores the seven set-ups as the guide's script does.
  void plot_guide_setups() {
    for (const SetupStep& s : kGuideSetups) {
      for (const auto& [tag, v] : s.values) control(tag).value = v;
      for (const auto& [tag, t] : s.texts) control(tag).string = t;
      ASSERT_TRUE(run("view")) << (errors.empty() ? "" : errors.back());
    }
  }
};

// Time-weighted mean squares at the same instants for both solutions.
struct Squares {
  double time = 0, load = 0, accel = 0, travel = 0, velocity = 0;
};

// The equations as the quarter car states them, integrated between the same instants the
// program samples, restarted at every road point (where the road's slope jumps).
Squares converged(const QuarterCar& car, const DamperLaw& d, const RoadProfile& road,
                  double speed, double max_step) {
  namespace ode = boost::numeric::odeint;
  using State = std::array<double, 4>;  // z_s, v_s, z_u, v_u
  const double ms = car.sprung_mass_kg, mu = car.unsprung_mass_kg;
  const double k = car.wheel_rate_n_per_mm * 1000, kt = car.tyre_rate_n_per_mm * 1000;
  const double w = (ms + mu) * analysis::kGravity;
  double z0 = 0, slope = 0, t0 = 0;
  auto zr = [&](double t) { return z0 + slope * (t - t0); };
  auto rhs = [&](const State& y, State& dy, double t) {
    const double x = y[2] - y[0], v = y[3] - y[1];
    const double f = d.force(v);
    const double ft = std::max(0.0, w + kt * (zr(t) - y[2]));
    dy = {y[1], (k * x + f) / ms, y[3], (-k * x - f + ft - w) / mu};
  };
  auto stepper = ode::make_controlled<ode::runge_kutta_dopri5<State>>(1e-11, 1e-11);
  State y = {road.height_m[0], 0, road.height_m[0], 0};
  Squares s;
  for (std::size_t i = 0; i + 1 < road.distance_m.size(); ++i) {
    const double dt = (road.distance_m[i + 1] - road.distance_m[i]) / speed;
    t0 = road.distance_m[i] / speed;
    z0 = road.height_m[i];
    slope = (road.height_m[i + 1] - z0) / dt;
    const auto steps = static_cast<std::size_t>(std::max(1.0, std::ceil(dt / max_step)));
    const double h = dt / static_cast<double>(steps);
    for (std::size_t j = 0; j < steps; ++j) {
      const double a = t0 + h * static_cast<double>(j), b = a + h;
      ode::integrate_adaptive(stepper, rhs, y, a, b, h / 4);
      const double x = y[2] - y[0], v = y[3] - y[1];
      const double ft = std::max(0.0, w + kt * (zr(b) - y[2]));
      s.time += h;
      s.load += h * (ft - w) * (ft - w);
      const double acc = (k * x + d.force(v)) / ms;
      s.accel += h * acc * acc;
      s.travel += h * x * x;
      s.velocity += h * v * v;
    }
  }
  return s;
}

TEST_F(RideSetups, RoadResultsAgreeWithAConvergedSolutionWithinATenthOfAPercent) {
  plot_guide_setups();
  control("LSC").value = 1;  // the bleed closed: the steepest curve at rest
  control("LSR").value = 1;
  ASSERT_TRUE(run("view")) << errors.back();  // the warning: eight curves
  const QuarterCar car;
  const RoadProfile road = analysis::iso8608_road("C", 100, 3);  // 3.6 s at 100 km/h
  const double speed = 100 / 3.6;
  std::vector<DamperCurve> curves = program.globals.plotdata;
  for (std::size_t c = 0; c < curves.size(); ++c) {
    SCOPED_TRACE("curve " + std::to_string(c + 1));
    // The program reads the curve through fewer points; the converged solution through all.
    const DamperLaw d = DamperLaw::of_curve(curves[c]);
    const DamperLaw exact = DamperLaw::of_curve(curves[c], 0);
    const analysis::RoadResult r = analysis::ride_on_road(car, d, road, 100);
    const Squares s = converged(car, exact, road, speed, analysis::kRideStep);
    // Both pass within the tolerance of every stored point.
    const WheelCurves w = wheel_curves(curves[c], kSIFactors);
    for (std::size_t k = 0; k < w.compression_velocity.size(); ++k)
      ASSERT_NEAR(d.force(w.compression_velocity[k]), exact.force(w.compression_velocity[k]),
                  analysis::kDamperLawTolerance + 1e-9);
    for (std::size_t k = 0; k < w.rebound_velocity.size(); ++k)
      ASSERT_NEAR(d.force(-w.rebound_velocity[k]), w.rebound_force[k],
                  analysis::kDamperLawTolerance + 1e-9);
    EXPECT_LT(d.velocities().size(), exact.velocities().size() / 4);
    auto rms = [&](double sum) { return std::sqrt(sum / s.time); };
    EXPECT_NEAR(r.tyre_load_rms_n, rms(s.load), 1e-3 * rms(s.load));
    EXPECT_NEAR(r.body_accel_rms, rms(s.accel), 1e-3 * rms(s.accel));
    EXPECT_NEAR(r.travel_rms_mm, 1000 * rms(s.travel), 1e-3 * 1000 * rms(s.travel));
    EXPECT_NEAR(r.velocity_rms_mmps, 1000 * rms(s.velocity), 1e-3 * 1000 * rms(s.velocity));
  }
}

// The seven set-ups of the user guide on a class C road at 100 km/h: the body resonance lies
// between the lightly damped body's and that of the car with the suspension locked.
TEST_F(RideSetups, GuideSetupsOnAClassCRoad) {
  plot_guide_setups();
  const QuarterCar car;
  const RoadProfile road = analysis::iso8608_road("C", 100 / 3.6 * 60, 1);
  const double locked_hz = std::sqrt(car.tyre_rate_n_per_mm * 1000 /
                                     (car.sprung_mass_kg + car.unsprung_mass_kg)) /
                           (2 * std::numbers::pi);
  for (std::size_t c = 0; c < program.globals.plotdata.size(); ++c) {
    SCOPED_TRACE("curve " + std::to_string(c + 1));
    const DamperLaw d = DamperLaw::of_curve(program.globals.plotdata[c]);
    const analysis::RoadResult r = analysis::ride_on_road(car, d, road, 100);
    const analysis::ShakerResult sh = analysis::ride_on_shaker(car, d, {});
    EXPECT_GT(sh.body_resonance_hz, 1.0);
    EXPECT_LT(sh.body_resonance_hz, locked_hz);
    EXPECT_GT(r.tyre_load_rms_percent, 10);
    EXPECT_LT(r.tyre_load_rms_percent, 100);
    std::printf(
        "curve %zu: load %.0f N %.1f%%, off %.2f%%, body %.2f m/s2, travel %.1f/%.1f mm, "
        "velocity %.0f/%.0f mm/s, body %.2f Hz, wheel %.2f Hz\n",
        c + 1, r.tyre_load_rms_n, r.tyre_load_rms_percent, r.off_road_percent, r.body_accel_rms,
        r.travel_rms_mm, r.travel_max_mm, r.velocity_rms_mmps, r.velocity_max_mmps,
        sh.body_resonance_hz, sh.wheel_resonance_hz);
  }
}

// A curve stored while US units were shown drives the car as the same curve stored in SI.
TEST_F(RideSetups, ResultsDoNotDependOnTheUnitsShown) {
  std::vector<analysis::RoadResult> results;
  const RoadProfile road = analysis::iso8608_road("C", 200, 5);
  for (bool si : {true, false}) {
    control("SIUnits").value = si ? 1 : 0;
    control("USUnits").value = si ? 0 : 1;
    ASSERT_TRUE(run("view"));
    const DamperLaw d = DamperLaw::of_curve(program.globals.plotdata.back());
    results.push_back(analysis::ride_on_road(QuarterCar{}, d, road, 100));
  }
  EXPECT_NEAR(results[0].tyre_load_rms_n, results[1].tyre_load_rms_n, 1e-9);
  EXPECT_NEAR(results[0].body_accel_rms, results[1].body_accel_rms, 1e-9);
}


// Each point of a grip map is the set-up PLOT would store with those clicks, driven over the
// same road; the map is the same on one thread as on two, and a cancel leaves nothing.
TEST_F(RideSetups, GripMapPointsAreThePlottedSetUpsOnTheRoad) {
  const analysis::ClickRows rows{control("LSC").items, control("HSC").items,
                                 control("LSR").items, control("HSR").items};
  program.gfx.figure(1);
  const SetupSelection setup = read_setup(program.gfx);
  const BleedData& bleeds = program.bleed_cache.get(program.current_folder);
  const QuarterCar car;
  const RoadProfile road = analysis::iso8608_road("C", 60, 2);
  const analysis::GripSweep sweep{false, true, true};  // LSR and HSR
  const analysis::ClickRows few{rows.lsc, rows.hsc, {rows.lsr.begin(), rows.lsr.begin() + 4},
                                {rows.hsr.begin() + 10, rows.hsr.begin() + 13}};
  const analysis::GripMap two =
      analysis::grip_map(setup, sweep, few, program.globals, bleeds, car, road, 80, 2);
  const analysis::GripMap one =
      analysis::grip_map(setup, sweep, few, program.globals, bleeds, car, road, 80, 1);
  ASSERT_EQ(two.points.size() + two.refused, 12u);
  ASSERT_EQ(one.points.size(), two.points.size());
  bool any_front = false;
  for (std::size_t i = 0; i < two.points.size(); ++i) {
    const analysis::GripPoint& p = two.points[i];
    SCOPED_TRACE("LSR " + p.low_click + " HSR " + p.high_click);
    EXPECT_EQ(p.tyre_load_rms_n, one.points[i].tyre_load_rms_n);
    EXPECT_EQ(p.on_front, one.points[i].on_front);
    any_front = any_front || p.on_front;
    const SetupSelection c = analysis::with_click(
        analysis::with_click(setup, analysis::Adjuster::LSR, p.low_row, few.lsr),
        analysis::Adjuster::HSR, p.high_row, few.hsr);
    const analysis::RoadResult r = analysis::ride_on_road(
        car, DamperLaw::of_curve(synthesise_setup(c, program.globals, bleeds, kUSFactors, 1)),
        road, 80);
    EXPECT_DOUBLE_EQ(p.tyre_load_rms_n, r.tyre_load_rms_n);
    EXPECT_DOUBLE_EQ(p.body_accel_rms, r.body_accel_rms);
  }
  EXPECT_TRUE(any_front);

  std::size_t asked = 0;
  try {
    analysis::grip_map(setup, sweep, few, program.globals, bleeds, car, road, 80, 2,
                       [&](std::size_t, std::size_t) { return ++asked < 2; });
    ADD_FAILURE() << "not cancelled";
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(), "The grip map was cancelled; nothing was changed.");
  }
}

}  // namespace
}  // namespace quorin
