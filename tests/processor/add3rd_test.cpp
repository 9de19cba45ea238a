// "Add 3rd": the second-newest stored curve plus half the newest, read at the first sample
// faster than each velocity point and drawn without being stored.
#include <gtest/gtest.h>

#include <sstream>

#include "plotting/plotfunction.h"
#include "processor/processor.h"
#include "services/runtime_error.h"
#include "support/comparison_windows.h"

namespace quorin {
namespace {

using test_support::build_comparison_windows;

// Samples k = 0 .. n at velocity step * k (computed as the action computes its points, so
// sample k lies exactly on point k), compression force gain * k, rebound force -gain * k.
DamperCurve ramp(double step, int n, double gain) {
  DamperCurve c;
  for (int k = 0; k <= n; ++k) {
    const double v = step * static_cast<double>(k);
    c.compression_velocity.push_back(v);
    c.compression_force.push_back(gain * k);
    c.rebound_velocity.push_back(v);
    c.rebound_force.push_back(-gain * k);
  }
  c.cmpvelocity = c.compression_velocity;
  c.cmpforce = c.compression_force;
  c.rebvelocity = c.rebound_velocity;
  c.rebforce = c.rebound_force;
  return c;
}

// The record PLOT would store for these base rows with the given units on: the wheel rows are
// in those units.
DamperCurve plotted_in(DamperCurve c, UnitFactors units) {
  WheelCurves w = wheel_curves(c, units);
  c.compression_velocity = std::move(w.compression_velocity);
  c.compression_force = std::move(w.compression_force);
  c.rebound_velocity = std::move(w.rebound_velocity);
  c.rebound_force = std::move(w.rebound_force);
  return c;
}

// Base rows in m/s whose samples land half-way between the Imperial points: sample k at
// (k + 0.5) x 0.04 in/s, so point i finds sample i whatever the rounding.
DamperCurve imperial_ramp(int n, double gain) {
  DamperCurve c = ramp(0.001, n, gain);
  for (int k = 0; k <= n; ++k)
    c.cmpvelocity[k] = c.rebvelocity[k] = (k + 0.5) * 0.04 / kUSFactors.velocity;
  return plotted_in(c, kUSFactors);
}

// The main and comparison windows with the given curves stored and drawn.
class Bench {
 public:
  Bench(bool si, std::vector<DamperCurve> curves) {
    const auto w = build_comparison_windows(gfx, si);
    g.plothandle = w.plothandle;
    g.IDhandle = w.IDhandle;
    g.counter = static_cast<double>(curves.size()) + 1;
    g.plotdata = std::move(curves);
    g.import = Matrix{1, 3, {0, 0, 0}};
    g.ShockData = Value::record();
    run("rescale");  // the stored curves as PLOT leaves them
  }
  void run(std::string_view action) {
    Processor p{g, gfx, dialogs, console, "/tmp", [] {}};
    quorin_processor_ct(p, action);
  }
  std::vector<gfx::Line*> lines() { return gfx.children_of<gfx::Line>(gfx.get(g.plothandle)); }

  Globals g;
  gfx::Model gfx;
  ScriptedDialogs dialogs;
  std::ostringstream console;
};

class Add3rd : public ::testing::Test, public Bench {
 protected:
  Add3rd() : Bench(true, {ramp(0.001, 400, 2), ramp(0.001, 400, 10)}) {}
};

TEST_F(Add3rd, TwoCurvesGiveCurveOneFullAndCurveTwoHalfAtTheNextFasterSample) {
  const auto before = lines().size();
  const auto plotdata = g.plotdata;
  run("add3rd");

  ASSERT_EQ(lines().size(), before + 2);
  const gfx::Line& comp = *lines()[before];
  const gfx::Line& reb = *lines()[before + 1];
  ASSERT_EQ(comp.x.size(), 300u);
  ASSERT_EQ(reb.x.size(), 300u);
  for (std::size_t i = 1; i <= 300; ++i) {
    // Point i sits exactly on sample i, which is not faster: sample i + 1 is taken.
    const double expected = 2.0 * (i + 1) + 10.0 * (i + 1) / 2;
    EXPECT_EQ(comp.x[i - 1], 0.001 * static_cast<double>(i));
    EXPECT_EQ(comp.y[i - 1], expected) << i;
    EXPECT_EQ(reb.y[i - 1], -expected) << i;
  }
  EXPECT_EQ(reb.x, comp.x);
  for (const gfx::Line* l : {&comp, &reb}) {
    EXPECT_EQ(l->line_style, "-.");
    EXPECT_EQ(l->color, (gfx::Color{0, 0, 1}));
  }
  EXPECT_TRUE(gfx.get<gfx::Axes>(g.plothandle).hold);
  EXPECT_TRUE(gfx.window(2)->zoom);
  EXPECT_EQ(gfx.current_window()->number, 1);
  EXPECT_EQ(g.plotdata, plotdata);
  EXPECT_EQ(g.counter, 3);
}

TEST(Add3rdCurves, TakesTheTwoNewestCurvesAndTheFirstFasterSampleNotTheNearest) {
  DamperCurve dip = ramp(0.001, 400, 1);
  // Sample 1 is faster than every point; later samples never count.
  dip.compression_velocity[1] = dip.cmpvelocity[1] = 0.5;
  dip.compression_force[1] = dip.cmpforce[1] = 77;
  Bench b(true, {ramp(0.001, 400, 1000), dip, ramp(0.001, 400, 4)});
  const auto before = b.lines().size();
  b.run("add3rd");
  const gfx::Line& comp = *b.lines()[before];
  for (std::size_t i = 1; i <= 300; ++i) EXPECT_EQ(comp.y[i - 1], 77 + 4.0 * (i + 1) / 2) << i;
}

TEST(Add3rdCurves, ImperialButtonStepsInInchesPerSecond) {
  Bench b(false, {imperial_ramp(400, 1), imperial_ramp(400, 1)});
  const auto before = b.lines().size();
  b.run("add3rd");
  const gfx::Line& reb = *b.lines()[before + 1];
  EXPECT_EQ(reb.x.front(), 0.04);
  EXPECT_EQ(reb.x.back(), 0.04 * 300);
  // Point i finds sample i, whose force is i newtons: 1.5 i newtons in all, shown in pounds.
  for (std::size_t i = 1; i <= 300; ++i)
    EXPECT_NEAR(reb.y[i - 1], -1.5 * i / kUSFactors.force, 1e-9) << i;
}

// Curves plotted with different unit buttons on hold their wheel rows in different units;
// both are taken in the units shown, so the sum is the same as for curves plotted alike.
TEST(Add3rdCurves, CurvesPlottedInDifferentUnitsCombineInTheUnitsShown) {
  const DamperCurve prime = ramp(0.001, 400, 2), third = ramp(0.001, 400, 10);
  for (bool si : {true, false}) {
    SCOPED_TRACE(si ? "Metric shown" : "Imperial shown");
    const UnitFactors shown = si ? kSIFactors : kUSFactors;
    Bench mixed(si, {plotted_in(prime, kSIFactors), plotted_in(third, kUSFactors)});
    Bench alike(si, {plotted_in(prime, shown), plotted_in(third, shown)});
    const auto before = mixed.lines().size();
    mixed.run("add3rd");
    alike.run("add3rd");
    ASSERT_EQ(mixed.lines().size(), before + 2);
    for (std::size_t k : {before, before + 1}) {
      EXPECT_EQ(mixed.lines()[k]->x, alike.lines()[k]->x);
      EXPECT_EQ(mixed.lines()[k]->y, alike.lines()[k]->y);
    }
    if (si) {
      // As for two Metric curves: sample i + 1 of each at point i.
      const gfx::Line& comp = *mixed.lines()[before];
      for (std::size_t i = 1; i <= 300; ++i)
        EXPECT_EQ(comp.y[i - 1], 2.0 * (i + 1) + 10.0 * (i + 1) / 2) << i;
    }
  }
}

TEST(Add3rdCurves, RefusesBeforeDrawingAndNamesTheCurve) {
  struct Case {
    const char* name;
    bool si;
    std::vector<DamperCurve> curves;
    const char* message;
  };
  // Rebound velocities stop at 0.3 m/s, the last point, which is not faster than itself.
  DamperCurve no_fast_rebound = ramp(0.001, 400, 1);
  for (std::size_t k = 300; k < no_fast_rebound.rebound_velocity.size(); ++k)
    no_fast_rebound.rebound_velocity[k] = no_fast_rebound.rebvelocity[k] = 0.001 * 300;
  const Case cases[] = {
      {"no curve", true, {}, "Add 3rd needs two stored curves; the curve counter is 1."},
      {"one curve",
       true,
       {ramp(0.001, 400, 1)},
       "Add 3rd needs two stored curves; the curve counter is 2."},
      {"curve 2 ends below 0.3 m/s",
       true,
       {ramp(0.001, 400, 1), ramp(0.001, 250, 1)},
       "Curve 2 has no rebound velocity above 0.25; the third-valve curve cannot be formed."},
      {"curve 1 rebound never faster",
       true,
       {no_fast_rebound, ramp(0.001, 400, 1)},
       "Curve 1 has no rebound velocity above 0.3; the third-valve curve cannot be formed."},
      // Metric curves shown in Imperial reach 0.29 m/s = 11.42 in/s, short of 12 in/s.
      {"metric curves, imperial step",
       false,
       {ramp(0.001, 290, 1), ramp(0.001, 290, 1)},
       "Curve 2 has no rebound velocity above 11.44; the third-valve curve cannot be formed."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b(c.si, c.curves);
    const auto before = b.lines().size();
    const auto revision = b.gfx.revision();
    try {
      b.run("add3rd");
      ADD_FAILURE() << "expected a refusal";
    } catch (const RuntimeError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(b.lines().size(), before);
    EXPECT_EQ(b.gfx.revision(), revision);
    EXPECT_EQ(b.gfx.current_window()->number, 1);
  }
}

}  // namespace
}  // namespace quorin
