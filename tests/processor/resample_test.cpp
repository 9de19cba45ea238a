#include "processor/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numeric>

#include "processor/bleed_data.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

std::vector<double> force_grid(int n) {
  std::vector<double> f(static_cast<std::size_t>(n) + 1);
  std::iota(f.begin(), f.end(), 0.0);
  return f;
}

// A measured curve on the straight line v = s f through the origin, at uneven forces.
struct Line {
  double s = 0.0004;  // metres per second per newton
  std::vector<double> force{0, 35, 80, 150, 260, 400, 575, 800, 1060, 1350, 1500};
  std::vector<double> velocity() const {
    std::vector<double> v;
    for (double f : force) v.push_back(s * f);
    return v;
  }
};

void expect_near_rel(double actual, double expected, const char* what, std::size_t i) {
  EXPECT_NEAR(actual, expected, 1e-12 * std::max(1.0, std::fabs(expected))) << what << " at point " << i + 1;
}

std::string error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.what();
  }
  return "no error";
}

TEST(Resample, VelocityGridHasNPlusOnePointsBuiltByIndex) {
  for (double vmax : {3.7, 0.1, 1.0 / 3.0}) {
    for (double n : {1.0, 99.0, 1500.0, 4321.0}) {
      const auto step = velocity_grid(vmax, n, "curve");
      ASSERT_EQ(step.size(), static_cast<std::size_t>(n) + 1);
      const double d = vmax / n;
      for (std::size_t k = 0; k < step.size(); ++k) ASSERT_EQ(step[k], static_cast<double>(k) * d);
      EXPECT_NEAR(step.back(), vmax, 4 * std::numeric_limits<double>::epsilon() * vmax);
    }
  }
  for (double n : {0.0, -5.0, 99.5, std::nan(""), HUGE_VAL, 2e7})
    EXPECT_NE(error_of([&] { velocity_grid(1, n, "bleed"); }).find("bleed: the force grid"), std::string::npos) << n;
}

TEST(Resample, CurveOfAStraightLineIsThatLineBothWays) {
  const Line line;
  const auto grid = force_grid(1500);
  const CurveResult r = curve(line.velocity(), line.force, grid);
  const double vmax = line.velocity().back(), fmax = line.force.back();
  ASSERT_EQ(r.xspline.size(), grid.size());
  ASSERT_EQ(r.step.size(), 1501u);
  ASSERT_EQ(r.yspline.size(), r.step.size());
  for (std::size_t i = 0; i < grid.size(); ++i) expect_near_rel(r.xspline[i], grid[i] * vmax / fmax, "xspline", i);
  for (std::size_t i = 0; i < r.step.size(); ++i) expect_near_rel(r.yspline[i], r.step[i] * fmax / vmax, "yspline", i);
}

TEST(Resample, CurveReadsTheInverseFromTheMeasuredPoints) {
  // A progressive valve: the inverse at the measured forces gives back the measured velocities.
  const std::vector<double> v{0, 0.05, 0.1, 0.2, 0.4, 0.8};
  const std::vector<double> f{0, 120, 300, 520, 800, 1200};
  const CurveResult r = curve(v, f, force_grid(1200));
  for (std::size_t i = 0; i < f.size(); ++i)
    expect_near_rel(r.xspline[static_cast<std::size_t>(f[i])], v[i], "xspline", i);
  EXPECT_EQ(r.step.back(), 1200 * (0.8 / 1200));
}

TEST(Resample, BleedOfAStraightLineStartsSlightlyFlatterFromZero) {
  const Line line;
  const auto grid = force_grid(1500);
  const BleedResult r = bleed(line.velocity(), line.force, grid);
  ASSERT_EQ(r.xspline.size(), grid.size());
  ASSERT_EQ(r.yspline.size(), 1501u);
  EXPECT_EQ(r.xspline[0], 0.0);
  for (std::size_t i = 0; i < 100; ++i) expect_near_rel(r.xspline[i], static_cast<double>(i) * 0.99 * line.s, "start", i);
  for (std::size_t i = 100; i < grid.size(); ++i) expect_near_rel(r.xspline[i], static_cast<double>(i) * line.s, "line", i);
}

TEST(Resample, BleedStartIsTheRunningSumOfOneHundredthOfTheVelocityAt99N) {
  const std::vector<double> v{0, 0.01, 0.03, 0.07, 0.15, 0.3};
  const std::vector<double> f{0, 60, 110, 170, 240, 330};
  const BleedResult r = bleed(v, f, force_grid(330));
  // The velocity at 99 N before the start was laid is what the line aims at; its hundredth is
  // the difference of neighbouring start points and of the exact sum they were built by.
  const double increment = r.xspline[1];
  double sum = 0;
  for (std::size_t i = 0; i < 100; ++i, sum += increment) ASSERT_EQ(r.xspline[i], sum) << i;
  EXPECT_GT(r.xspline[100], r.xspline[99]);
}

TEST(Resample, BleedNeedsOneHundredGridPoints) {
  const Line line;
  EXPECT_NE(error_of([&] { bleed(line.velocity(), line.force, force_grid(98)); })
                .find("bleed: the force grid has 99 points"),
            std::string::npos);
  EXPECT_NO_THROW(bleed(line.velocity(), line.force, force_grid(99)));
}

// A shim flow that falls from point 100 to its minimum at `at` and rises after it.
std::vector<double> dip(std::size_t n, std::size_t at) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double p = static_cast<double>(i + 1);
    v[i] = 0.5 + 0.001 * std::fabs(p - static_cast<double>(at)) + (i < 99 ? 0.3 : 0.0);
  }
  return v;
}

TEST(Resample, CorrectionRampsUpToThePointAfterTheMinimum) {
  struct Row {
    const char* name;
    std::size_t n, minimum_at;
  };
  for (Row row : {Row{"minimum inside", 400, 250}, Row{"minimum at point 100", 300, 100},
                  Row{"minimum one before the end", 150, 149}}) {
    SCOPED_TRACE(row.name);
    const auto in = dip(row.n, row.minimum_at);
    const auto out = correction(in);
    const std::size_t index = row.minimum_at + 1;
    const double w = in[index - 1];
    ASSERT_EQ(out.size(), in.size());
    EXPECT_EQ(out[0], 0.0);
    for (std::size_t i = 0; i < index; ++i)
      expect_near_rel(out[i], static_cast<double>(i) * w / static_cast<double>(index), "ramp", i);
    expect_near_rel(out[index - 1], static_cast<double>(index - 1) / static_cast<double>(index) * w, "end", index - 1);
    for (std::size_t i = index; i < in.size(); ++i) ASSERT_EQ(out[i], in[i]) << i;
  }
}

TEST(Resample, CorrectionTakesTheFirstOfEqualMinima) {
  std::vector<double> in(200, 1.0);
  in[149] = 0.2;
  in[179] = 0.2;
  const auto out = correction(in);
  expect_near_rel(out[150], 150.0 / 151.0, "ramp end", 150);
  EXPECT_EQ(out[151], 1.0);
  EXPECT_EQ(out[179], 0.2);
}

TEST(Resample, CorrectionRefusesCurvesItCannotStraighten) {
  std::vector<double> falling(300);
  for (std::size_t i = 0; i < falling.size(); ++i) falling[i] = 300.0 - static_cast<double>(i);
  EXPECT_NE(error_of([&] { correction(falling); }).find("minimum from point 100 on at its last point 300"),
            std::string::npos);
  EXPECT_NE(error_of([&] { correction(std::vector<double>(99, 1.0)); }).find("has 99 points"), std::string::npos);
  // Exactly 100 points: the minimum can only be at point 100, the last one.
  EXPECT_THROW(correction(std::vector<double>(100, 1.0)), RuntimeError);
}

// The velocity half of the valve resampling alone equals `curve`'s, bit for bit, and fails
// as `curve` fails.
TEST(Resample, CurveVelocityIsCurvesVelocityHalfAndFailsAlike) {
  const Line line;
  const std::vector<double> v = line.velocity();
  const std::vector<double> bent{0, 40, 95, 170, 255, 400, 560, 800, 1100, 1300, 1500};
  EXPECT_EQ(curve_velocity(v, bent, force_grid(1500)), curve(v, bent, force_grid(1500)).xspline);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Bad {
    const char* name;
    std::vector<double> velocity, force, grid;
  };
  const std::vector<Bad> bad = {
      {"no points", {}, {}, force_grid(100)},
      {"unequal rows", v, {0, 1}, force_grid(100)},
      {"repeated velocity", {0, 0.1, 0.1, 0.3}, {0, 100, 200, 300}, force_grid(100)},
      {"repeated force", {0, 0.1, 0.2, 0.3}, {0, 100, 100, 300}, force_grid(100)},
      {"grid ends between newtons", v, line.force, {0, 1, 2.5}},
      {"empty grid", v, line.force, {}},
      {"NaN grid end", v, line.force, {0, nan}},
  };
  for (const Bad& b : bad) {
    const std::string whole = error_of([&] { curve(b.velocity, b.force, b.grid); });
    EXPECT_NE(whole, "no error") << b.name;
    EXPECT_EQ(error_of([&] { curve_velocity(b.velocity, b.force, b.grid); }), whole) << b.name;
  }
}

// A bleed resampling kept by the bleed data is the one `bleed` works out, for every grid
// length asked, asked once or again, and for a curve that is not one of the settings.
TEST(Resample, KeptBleedVelocitiesAreTheResampledOnes) {
  const Line line;
  BleedData data;
  data.settings = {{line.velocity(), line.force},
                   {{0, 0.05, 0.2, 0.4, 0.6}, {0, 300, 700, 1100, 1500}}};
  const MeasuredCurve outside{{0, 0.1, 0.3, 0.6}, {0, 400, 900, 1500}};
  const std::vector<const MeasuredCurve*> curves{&data.settings[0], &data.settings[1], &outside};
  for (int n : {120, 900, 1500, 900}) {
    for (const MeasuredCurve* c : curves) {
      const std::vector<double> grid = force_grid(n);
      EXPECT_EQ(data.bleed_velocity(*c, grid), bleed(c->velocity, c->force, grid).xspline)
          << "grid to " << n;
    }
  }
  EXPECT_NE(error_of([&] { data.bleed_velocity(data.settings[0], force_grid(50)); }), "no error");
}

}  // namespace
}  // namespace quorin
