// The arithmetic of the tuning analyses on hand-made curves: the error measure against
// measured points, the split of a dyno curve, critical damping and the guide lines, the
// damping ratio of a stored curve, clicks in a set-up.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "analysis/tuning.h"
#include "analysis/tuning_windows.h"
#include "analysis/velocity_table.h"
#include "services/runtime_error.h"

namespace quorin::analysis {
namespace {

TEST(FitError, RmsPercentAndBandsOfHandMadePoints) {
  // The curve F = 10 v from 0 to 3; bands [0, 0.5), [0.5, 1.5), [1.5, 2.5), [2.5, ...).
  const std::vector<double> v = {0, 1, 2, 3}, f = {0, 10, 20, 30};
  const std::array<double, 3> edges = {0.5, 1.5, 2.5};
  struct Row {
    const char* name;
    std::vector<double> mv, mf;
    std::size_t points;
    double rms, percent;
    std::array<double, 4> bands;  // NaN: no point in the band
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<Row> rows = {
      {"on the curve", {0.25, 1, 2.75}, {2.5, 10, 27.5}, 3, 0, 0, {0, 0, nan, 0}},
      {"one off by 3",
       {1, 2},
       {10, 23},
       2,
       std::sqrt(4.5),
       100 * std::sqrt(4.5) / std::sqrt(314.5),
       {nan, 0, 3, nan}},
      {"outside the curve is left out",
       {-1, 1, 3.5},
       {0, 12, 40},
       1,
       2,
       100 * 2 / 12.0,
       {nan, 2, nan, nan}},
      {"nothing to compare", {4, 5}, {1, 2}, 0, nan, nan, {nan, nan, nan, nan}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const FitError e = fit_error(v, f, r.mv, r.mf, edges);
    EXPECT_EQ(e.points, r.points);
    auto same = [](double a, double b) {
      return std::isnan(b) ? std::isnan(a) : std::abs(a - b) < 1e-12;
    };
    EXPECT_TRUE(same(e.rms, r.rms)) << e.rms;
    EXPECT_TRUE(same(e.percent, r.percent)) << e.percent;
    for (std::size_t b = 0; b < 4; ++b) EXPECT_TRUE(same(e.band_rms[b], r.bands[b])) << b;
  }
}

// A curve whose velocities fold back is read as the velocity table reads it (first spanning
// segment), an increasing one by bisection with the same answers.
TEST(FitError, ReadsCurvesAsTheVelocityTableDoes) {
  const std::vector<std::vector<double>> velocities = {{0, 1, 2, 3, 4}, {0, 2, 1.5, 3, 4}};
  const std::vector<double> force = {0, 5, 7, 20, 21};
  for (const auto& v : velocities)
    for (double at : {0.0, 0.5, 1.0, 1.75, 2.0, 3.5, 4.0}) {
      const FitError e = fit_error(v, force, {at}, {0}, {1, 2, 3});
      const std::optional<double> want = force_at(v, force, at);
      ASSERT_TRUE(want) << at;
      EXPECT_DOUBLE_EQ(e.rms, std::abs(*want)) << at;
    }
}

TEST(FitError, FoldedCurvesReadAsTheVelocityTableReadsThem) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> step(-0.3, 1.0);
  for (int trial = 0; trial < 50; ++trial) {
    std::vector<double> v = {0}, f = {0};
    for (int k = 1; k < 40; ++k) {
      // Some steps repeat a velocity exactly, some fall back.
      v.push_back(k % 7 == 0 ? v.back() : v.back() + step(random));
      f.push_back(static_cast<double>(k));
    }
    for (double at = -0.5; at < 30; at += 0.137) {
      const std::optional<double> want = force_at(v, f, at);
      const FitError e = fit_error(v, f, {at}, {0}, {1, 2, 3});
      if (want && e.points)
        EXPECT_EQ(e.rms, std::abs(*want)) << trial << " " << at;
      else if (want)
        ADD_FAILURE() << "not read at " << at << " in trial " << trial;
    }
    for (double at : v) EXPECT_EQ(fit_error(v, f, {at}, {0}, {1, 2, 3}).rms, *force_at(v, f, at));
  }
}

// Measured points merged per velocity and read in runs give the RMS, the percent and the band
// errors that the samples give one by one (read with the velocity table's reader, summed in
// long double), to rounding: for rising and folded curves, curves with a point per newton or
// a few far apart, samples that repeat their velocities or do not, fall on the curve's points
// or lie beyond its ends.
TEST(FitError, MergedPointsGiveTheErrorOfTheSamplesOneByOne) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(0, 1);
  struct Curve {
    const char* name;
    std::vector<double> v, f;
  };
  std::vector<Curve> curves;
  {
    Curve dense{"a point per newton", {}, {}}, sparse{"seven points", {}, {}},
        folded{"folding back", {}, {}};
    for (int n = 0; n <= 3000; ++n) {
      dense.f.push_back(n);
      dense.v.push_back(0.3 * std::pow(n / 3000.0, 1.6) + 0.001 * n / 3000.0);
    }
    sparse.v = {0, 0.01, 0.03, 0.08, 0.15, 0.22, 0.3};
    sparse.f = {0, 400, 700, 950, 1200, 1500, 1700};
    for (int n = 0; n <= 400; ++n) {
      folded.f.push_back(4 * n);
      folded.v.push_back(0.0007 * n + (n % 50 == 49 ? -0.004 : 0));
    }
    curves = {dense, sparse, folded};
  }
  struct Samples {
    const char* name;
    std::size_t count, distinct;  // samples, and the distinct velocities they fall on
    double noise;                 // of the force, relative
  };
  const std::vector<Samples> sets = {
      {"every sample at its own velocity", 40000, 40000, 0.02},
      {"velocities repeated", 40000, 300, 0.02},
      {"no noise", 20000, 20000, 0},
      {"a few samples", 7, 7, 0.05},
  };
  const std::array<double, 3> edges = {0.05, 0.1, 0.25};
  for (const Curve& c : curves)
    for (const Samples& set : sets) {
      SCOPED_TRACE(std::string(c.name) + ", " + set.name);
      std::vector<double> grid(set.distinct);
      for (double& g : grid) g = 0.32 * unit(random);  // some beyond the curves' ends
      grid[0] = c.v[c.v.size() / 2];                   // one on a point of the curve
      std::vector<double> mv, mf;
      for (std::size_t i = 0; i < set.count; ++i) {
        const double v = grid[i % set.distinct];
        mv.push_back(v);
        mf.push_back(3000 * v * (1 + set.noise * (2 * unit(random) - 1)) + 1);
      }
      // One by one.
      long double sum = 0, sum_measured = 0;
      std::array<long double, 4> band{};
      std::array<std::size_t, 4> band_points{};
      std::size_t points = 0;
      for (std::size_t i = 0; i < mv.size(); ++i) {
        const std::optional<double> at = force_at(c.v, c.f, mv[i]);
        if (!at) continue;
        const long double d = static_cast<long double>(*at) - mf[i];
        sum += d * d;
        sum_measured += static_cast<long double>(mf[i]) * mf[i];
        std::size_t b = 0;
        while (b < 3 && mv[i] >= edges[b]) ++b;
        band[b] += d * d;
        ++band_points[b];
        ++points;
      }
      ASSERT_GT(points, 0u);
      const FitError e = fit_error(c.v, c.f, mv, mf, edges);
      EXPECT_EQ(e.points, points);
      EXPECT_EQ(e.band_points, band_points);
      const double rms = static_cast<double>(std::sqrt(sum / points));
      EXPECT_NEAR(e.rms, rms, 1e-9 * rms + 1e-9);
      const double measured_rms = static_cast<double>(std::sqrt(sum_measured / points));
      EXPECT_NEAR(e.percent, 100 * rms / measured_rms, 1e-9 * e.percent + 1e-9);
      for (std::size_t b = 0; b < 4; ++b) {
        if (!band_points[b]) {
          EXPECT_TRUE(std::isnan(e.band_rms[b])) << b;
          continue;
        }
        const double want = static_cast<double>(std::sqrt(band[b] / band_points[b]));
        EXPECT_NEAR(e.band_rms[b], want, 1e-9 * want + 1e-9) << b;
      }
    }
}

// Samples that are not finite numbers are left out of both sides and counted, and the error
// measure leaves them out too.
TEST(MeasuredSides, SamplesThatAreNotNumbersAreLeftOutAndCounted) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const MeasuredSides m =
      measured_sides({0.1, nan, 0.3, 0.4, inf, 0.6, 0.7}, {5, 6, inf, -nan, 9, -inf, -2});
  EXPECT_EQ(m.not_finite, 5u);
  EXPECT_EQ(m.compression_velocity, (std::vector<double>{0.1}));
  EXPECT_EQ(m.rebound_velocity, (std::vector<double>{0.7}));
  const FitError e = fit_error({0, 1}, {0, 10}, {0.5, 0.5, 0.5, nan}, {5, inf, -inf, 5}, {1, 2, 3});
  EXPECT_EQ(e.points, 1u);
  EXPECT_EQ(e.rms, 0);
  const MergedPoints merged = merge_points({0.2, 0.1, 0.2, nan}, {1, 2, 3, 4});
  EXPECT_EQ(merged.samples, 3u);
  EXPECT_EQ(merged.velocity, (std::vector<double>{0.1, 0.2}));
  EXPECT_EQ(merged.count, (std::vector<std::size_t>{1, 2}));
  EXPECT_EQ(merged.mean_force, (std::vector<double>{2, 2}));
  EXPECT_EQ(merged.spread, (std::vector<double>{0, 2}));
}

TEST(MeasuredSides, PointsAboveZeroAreCompressionBelowAreRebound) {
  const MeasuredSides m = measured_sides({0.1, 0.2, 0.3, 0.4, 0.5}, {5, -3, 0, 7, -1});
  EXPECT_EQ(m.compression_velocity, (std::vector<double>{0.1, 0.4}));
  EXPECT_EQ(m.compression_force, (std::vector<double>{5, 7}));
  EXPECT_EQ(m.rebound_velocity, (std::vector<double>{0.2, 0.5}));
  EXPECT_EQ(m.rebound_force, (std::vector<double>{-3, -1}));
}

TEST(Bands, EdgesAndNamesInTheUnitsShown) {
  EXPECT_EQ(band_edges(true), (std::array<double, 3>{0.05, 0.1, 0.25}));
  EXPECT_EQ(band_edges(false), (std::array<double, 3>{2, 4, 10}));
  EXPECT_EQ(band_names(true),
            (std::array<std::string, 4>{"0-0.05", "0.05-0.1", "0.1-0.25", ">0.25"}));
  EXPECT_EQ(band_names(false), (std::array<std::string, 4>{"0-2", "2-4", "4-10", ">10"}));
  EXPECT_EQ(sweep_velocities(true), (std::array<double, 4>{0.025, 0.05, 0.1, 0.25}));
  EXPECT_EQ(sweep_velocities(false), (std::array<double, 4>{1, 2, 5, 10}));
}

TEST(DampingGuides, HandComputedCriticalDampingAndForces) {
  const double cc = critical_damping(250, 30);
  EXPECT_NEAR(cc, 5477.2256, 1e-4);
  EXPECT_NEAR(guide_force(0.7, cc, 0.1, kSIFactors), 383.4058, 1e-4);
  // 0.1 m/s shown as 3.937 in/s, 383.4 N as 86.09 lbs.
  EXPECT_NEAR(guide_force(0.7, cc, 0.1 * kUSFactors.velocity, kUSFactors), 383.4058 / 4.45374,
              1e-4);
  EXPECT_NEAR(guide_force(1.0, critical_damping(400, 50), 0.05, kSIFactors),
              0.05 * 2 * std::sqrt(50000.0 * 400), 1e-9);

  const std::vector<GuideLine> lines = damping_guides(cc, kSIFactors, 0.25);
  ASSERT_EQ(lines.size(), 8u);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const GuideLine& g = lines[k];
    EXPECT_EQ(g.compression, k < 4);
    EXPECT_EQ(g.zeta, kGuideRatios[k % 4]);
    EXPECT_EQ(g.velocity, (std::array<double, 2>{0, 0.25}));
    EXPECT_DOUBLE_EQ(g.force[1], (g.compression ? 1 : -1) * g.zeta * cc * 0.25);
  }
}

TEST(DampingGuides, RefusesACornerItCannotUse) {
  for (auto [m, k] : {std::pair{0.0, 30.0}, std::pair{-250.0, 30.0}, std::pair{250.0, 0.0},
                      std::pair{250.0, std::numeric_limits<double>::infinity()},
                      std::pair{std::numeric_limits<double>::quiet_NaN(), 30.0}})
    EXPECT_THROW(critical_damping(m, k), RuntimeError) << m << " " << k;

  // Each box a finite number above 0, but together beyond what the critical damping can be:
  // refused, naming the box (or boxes) to blame.
  struct Row {
    double mass_kg, rate_n_per_mm;
    const char* says;
  };
  const Row rows[] = {
      {1e308, 1e308, "mass of 1e+308 kg and the wheel rate of 1e+308 N/mm are too large"},
      {1e308, 30, "mass of 1e+308 kg is too large for the wheel rate of 30 N/mm"},
      {250, 1e306, "wheel rate of 1e+306 N/mm is too large for the corner's sprung mass"},
      {5e-324, 5e-324, "are too small"},
      {5e-324, 1e-300, "are too small"},
      {1e-320, 1e-10, "kg is too small for the wheel rate of 1e-10 N/mm"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.says));
    try {
      const double cc = critical_damping(r.mass_kg, r.rate_n_per_mm);
      ADD_FAILURE() << "critical damping " << cc;
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(r.says), std::string::npos) << e.what();
    }
  }
  EXPECT_GT(critical_damping(5e-324, 30), 0) << "small but usable";
}

TEST(DampingRatio, ForceOverVelocityOverCriticalForPositiveVelocitiesOnly) {
  DamperCurve p;
  p.cmpvelocity = {0, 0.1, 0.2};
  p.cmpforce = {0, 383.4058, 500};
  p.rebvelocity = {0, 0.05};
  p.rebforce = {0, -200};
  const double cc = critical_damping(250, 30);
  const std::vector<RatioCurve> r = damping_ratio_curves({p}, 2, kUSFactors, cc);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].side, Side::Compression);
  EXPECT_EQ(r[0].number, 1);
  ASSERT_EQ(r[0].velocity.size(), 2u);
  EXPECT_DOUBLE_EQ(r[0].velocity[0], 0.1 * kUSFactors.velocity);  // shown in in/s
  EXPECT_NEAR(r[0].ratio[0], 0.7, 1e-6);
  EXPECT_NEAR(r[0].ratio[1], 500 / 0.2 / cc, 1e-12);
  EXPECT_NEAR(r[1].ratio.at(0), 200 / 0.05 / cc, 1e-12);  // rebound taken by its size
}

TEST(Clicks, AClickSetsTheRowAndItsText) {
  SetupSelection s;
  const std::vector<std::string> rows = {"0", "1", "2"};
  struct Row {
    Adjuster a;
    const char* name;
  };
  for (const Row& r : {Row{Adjuster::LSC, "LSC"}, Row{Adjuster::HSC, "HSC"},
                       Row{Adjuster::LSR, "LSR"}, Row{Adjuster::HSR, "HSR"}}) {
    EXPECT_EQ(adjuster_name(r.a), r.name);
    EXPECT_EQ(adjuster_named(r.name), r.a);
    const SetupSelection c = with_click(s, r.a, 3, rows);
    const SideSelection& side = adjusts_compression(r.a) ? c.compression : c.rebound;
    const SideSelection& other = adjusts_compression(r.a) ? c.rebound : c.compression;
    const bool low = r.a == Adjuster::LSC || r.a == Adjuster::LSR;
    EXPECT_EQ(low ? side.bleed_value : side.high_value, 3);
    EXPECT_EQ(low ? side.bleed_text : side.high_text, "2");
    EXPECT_EQ(low ? side.high_text : side.bleed_text, "");
    EXPECT_EQ(other.bleed_text + other.high_text, "");
    EXPECT_THROW(with_click(s, r.a, 4, rows), RuntimeError);
    EXPECT_THROW(with_click(s, r.a, 0, rows), RuntimeError);
  }
  EXPECT_THROW(adjuster_named("lsc"), RuntimeError);
}

TEST(SweepWindow, RampRunsFromBlueToRed) {
  EXPECT_EQ(ramp_colour(0, 31), (gfx::Color{0, 0, 1}));
  EXPECT_EQ(ramp_colour(30, 31), (gfx::Color{1, 0, 0}));
  EXPECT_EQ(ramp_colour(0, 1), (gfx::Color{0, 0, 1}));
  EXPECT_EQ(table_number(std::numeric_limits<double>::quiet_NaN(), 2), "");
  EXPECT_EQ(table_number(383.4058, 1), "383.4");
}

}  // namespace
}  // namespace quorin::analysis
