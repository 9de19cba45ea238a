// The curve spline checked by its properties over several knot layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

struct Layout {
  std::string name;
  std::vector<double> x;
};

std::vector<Layout> layouts() {
  std::vector<double> many;
  for (int i = 0; i < 30; ++i) many.push_back(i + 0.4 * std::sin(i));
  return {
      {"even4", {0, 1, 2, 3}},
      {"uneven4", {0, 0.3, 1.1, 1.5}},
      {"uneven5", {-1, -0.2, 0.1, 1.4, 2}},
      {"uneven7", {-2, -1.2, -1, 0, 0.7, 2, 2.4}},
      {"many30", many},
  };
}

double cubic(double t) { return 2 - t + 0.5 * t * t - 0.25 * t * t * t; }
double smooth(double t) { return std::sin(1.3 * t) + 0.2 * t; }

std::vector<double> sample(const std::vector<double>& x, double (*f)(double)) {
  std::vector<double> y;
  for (double v : x) y.push_back(f(v));
  return y;
}

// The cubic the spline is on [lo, hi], fitted from four samples inside that interval, as
// coefficients of powers of u = (t - at) / scale: value, slope, curvature and third derivative
// at `at`, each times scale^k / k!.
std::array<double, 4> fit_piece(const Spline& s, double lo, double hi, double at, double scale) {
  double a[4][5];
  for (int r = 0; r < 4; ++r) {
    const double t = lo + (hi - lo) * (0.2 + 0.2 * r);
    const double u = (t - at) / scale;
    for (int c = 0; c < 4; ++c) a[r][c] = std::pow(u, c);
    a[r][4] = s(t);
  }
  for (int c = 0; c < 4; ++c) {  // Gauss-Jordan with partial pivoting
    int p = c;
    for (int r = c + 1; r < 4; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
    std::swap(a[p], a[c]);
    for (int r = 0; r < 4; ++r) {
      if (r == c) continue;
      const double w = a[r][c] / a[c][c];
      for (int k = c; k < 5; ++k) a[r][k] -= w * a[c][k];
    }
  }
  std::array<double, 4> out{};
  for (int c = 0; c < 4; ++c) out[c] = a[c][4] / a[c][c];
  return out;
}

TEST(Spline, ReproducesAnyCubic) {
  for (const auto& l : layouts()) {
    SCOPED_TRACE(l.name);
    const Spline s(l.x, sample(l.x, cubic));
    const double lo = l.x.front() - 1, hi = l.x.back() + 1;
    for (int i = 0; i <= 200; ++i) {
      const double t = lo + (hi - lo) * i / 200.0;
      EXPECT_NEAR(s(t), cubic(t), 1e-9 * (1 + std::fabs(cubic(t)))) << "at " << t;
    }
  }
}

TEST(Spline, PassesThroughEveryKnot) {
  for (const auto& l : layouts()) {
    SCOPED_TRACE(l.name);
    const auto y = sample(l.x, smooth);
    const Spline s(l.x, y);
    for (std::size_t i = 0; i < l.x.size(); ++i) EXPECT_NEAR(s(l.x[i]), y[i], 1e-13);
  }
}

// Value, slope and curvature are continuous at every inner knot; the third derivative is
// continuous at the second and the second-to-last knot (not-a-knot) and jumps elsewhere.
TEST(Spline, ContinuityAtKnotsAndNotAKnotEnds) {
  for (const auto& l : layouts()) {
    SCOPED_TRACE(l.name);
    const auto& x = l.x;
    const Spline s(x, sample(x, smooth));
    const std::size_t n = x.size();
    bool third_jumps_somewhere = false;
    for (std::size_t k = 1; k + 1 < n; ++k) {
      SCOPED_TRACE("knot " + std::to_string(k));
      const double scale = std::min(x[k] - x[k - 1], x[k + 1] - x[k]);
      const auto left = fit_piece(s, x[k - 1], x[k], x[k], scale);
      const auto right = fit_piece(s, x[k], x[k + 1], x[k], scale);
      const double tol = 1e-7;
      EXPECT_NEAR(left[0], right[0], tol);
      EXPECT_NEAR(left[1], right[1], tol);
      EXPECT_NEAR(left[2], right[2], tol);
      if (k == 1 || k == n - 2) {
        EXPECT_NEAR(left[3], right[3], tol);
      } else if (std::fabs(left[3] - right[3]) > 1e-4) {
        third_jumps_somewhere = true;
      }
    }
    if (n >= 6) {
      EXPECT_TRUE(third_jumps_somewhere) << "the check above would not notice a wrong end condition";
    }
  }
}

TEST(Spline, ExtrapolatesWithTheEndPieces) {
  for (const auto& l : layouts()) {
    SCOPED_TRACE(l.name);
    const auto& x = l.x;
    const Spline s(x, sample(x, smooth));
    const std::size_t n = x.size();
    const auto first = fit_piece(s, x[0], x[1], x[0], 1.0);
    const auto last = fit_piece(s, x[n - 2], x[n - 1], x[n - 1], 1.0);
    for (double d : {0.1, 0.5, 2.0}) {
      const double ul = -d, ur = d;
      EXPECT_NEAR(s(x[0] - d), first[0] + ul * (first[1] + ul * (first[2] + ul * first[3])), 1e-7);
      EXPECT_NEAR(s(x[n - 1] + d), last[0] + ur * (last[1] + ur * (last[2] + ur * last[3])), 1e-7);
    }
  }
}

TEST(Spline, UnsortedPointsGiveTheSameSpline) {
  for (const auto& l : layouts()) {
    SCOPED_TRACE(l.name);
    const auto y = sample(l.x, smooth);
    std::vector<double> xr(l.x.rbegin(), l.x.rend()), yr(y.rbegin(), y.rend());
    std::rotate(xr.begin(), xr.begin() + 1, xr.end());
    std::rotate(yr.begin(), yr.begin() + 1, yr.end());
    const Spline sorted(l.x, y), shuffled(xr, yr);
    for (double t = l.x.front() - 1; t <= l.x.back() + 1; t += 0.05) EXPECT_EQ(sorted(t), shuffled(t));
  }
}

TEST(Spline, ManyAbscissaeMatchOneByOne) {
  const auto x = layouts().back().x;
  const Spline s(x, sample(x, smooth));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::vector<double>> cases = {
      {},
      {-5, -1, 0, 0.5, 3, 3, 10, 28.9, 29, 35},   // ascending, repeats, beyond both ends
      {35, 20, 10, 3, 0, -5},                     // descending
      {3, 17.2, 0.1, 29.5, 8, 8.01, -3, 12},      // scattered
      {5, nan, 1, 2},                             // NaN stays NaN, the rest unaffected
  };
  for (const auto& t : cases) {
    const auto v = s(t);
    ASSERT_EQ(v.size(), t.size());
    for (std::size_t i = 0; i < t.size(); ++i) {
      if (std::isnan(t[i])) {
        EXPECT_TRUE(std::isnan(v[i]));
      } else {
        EXPECT_EQ(v[i], s(t[i])) << "at " << t[i];
      }
    }
  }
  EXPECT_EQ(spline(x, sample(x, smooth), std::vector<double>{4.5}), std::vector<double>{s(4.5)});
}

TEST(Spline, TwoPointsGiveTheLine) {
  const std::vector<double> x{3, 1}, y{7, 3};  // y = 2x + 1, given in descending order
  const Spline s(x, y);
  for (double t : {-10.0, 0.0, 1.0, 2.2, 3.0, 8.0}) EXPECT_NEAR(s(t), 2 * t + 1, 1e-12);
}

TEST(Spline, ThreePointsGiveTheParabola) {
  auto p = [](double t) { return 1.5 * t * t - 2 * t + 0.25; };
  const std::vector<double> x{-0.5, 0.2, 2.0};
  const Spline s(x, std::vector<double>{p(-0.5), p(0.2), p(2.0)});
  for (double t = -3; t <= 5; t += 0.25) EXPECT_NEAR(s(t), p(t), 1e-11);
}

TEST(Spline, StraightMeasuredCurveStaysStraight) {
  // A measured curve on a line through the origin, resampled on a whole-newton grid.
  std::vector<double> force, velocity;
  for (int i = 0; i <= 12; ++i) {
    force.push_back(i * i * 10.0);
    velocity.push_back(force.back() * 0.0004);
  }
  const Spline s(force, velocity);
  for (double f = 0; f <= 1440; f += 1) EXPECT_NEAR(s(f), f * 0.0004, 1e-12);
}

TEST(Spline, FiveThousandKnotsStayAccurate) {
  const std::size_t n = 5000;
  std::vector<double> x(n), y(n);
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = 5.0 * std::pow(static_cast<double>(i) / (n - 1), 1.5) + 1e-3;  // denser near zero
    y[i] = std::sqrt(x[i]) * 4000;
  }
  const Spline s(x, y);
  for (std::size_t i = 0; i < n; i += 7) EXPECT_NEAR(s(x[i]), y[i], 1e-9 * y[i]);
  for (std::size_t i = 100; i + 1 < n; i += 97) {
    const double t = 0.5 * (x[i] + x[i + 1]);
    EXPECT_NEAR(s(t), std::sqrt(t) * 4000, 1e-6 * y[i]);
  }
}

TEST(Spline, ApproximatesASmoothCurve) {
  std::vector<double> x;
  for (int i = 0; i < 50; ++i) x.push_back(2 * M_PI * std::pow(i / 49.0, 1.2));
  const Spline s(x, sample(x, [](double t) { return std::sin(t); }));
  for (double t = 0; t <= 2 * M_PI; t += 0.01) EXPECT_NEAR(s(t), std::sin(t), 2e-5);
}

TEST(Spline, RefusesUnusablePoints) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    std::vector<double> x, y;
    const char* message_part;
  };
  const std::vector<Case> cases = {
      {"repeated abscissa", {0, 1, 1, 2}, {0, 1, 2, 3}, "distinct"},
      {"repeated out of order", {2, 0, 1, 2}, {0, 1, 2, 3}, "distinct"},
      {"repeated pair", {5, 5}, {1, 2}, "distinct"},
      {"length mismatch", {0, 1, 2}, {0, 1}, "same length"},
      {"one point", {1}, {1}, "at least two"},
      {"no points", {}, {}, "at least two"},
      {"NaN abscissa", {0, nan, 2}, {0, 1, 2}, "finite"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      Spline s(c.x, c.y);
      ADD_FAILURE() << "no error";
    } catch (const RuntimeError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
    }
  }
}

// 50,000 knots denser near zero: values recorded from the plain tridiagonal elimination with a
// division per row, which the faster sweep must reproduce. (Far outside, a million end-piece
// widths away, the end cubic magnifies the last bits of its slopes; no such point is asked.)
TEST(Spline, FiftyThousandKnotsKeepTheirValues) {
  const std::size_t n = 50000;
  std::vector<double> x(n), y(n);
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = 5.0 * std::pow(static_cast<double>(i) / (n - 1), 1.5);
    y[i] = 4000.0 * std::sqrt(x[i] + 0.01) + 300.0 * x[i] * std::sin(3 * x[i]);
  }
  const std::vector<std::array<double, 2>> expected = {
      {-9.9999999999999995e-07, 399.97999950087473},
      {0, 400},
      {9.9999999999999995e-07, 400.01999950092505},
      {0.0012340000000000001, 423.96363294882531},
      {0.25, 2090.730712438864},
      {1, 4062.2862508663161},
      {2.5, 7040.6917896829982},
      {3.1415899999999999, 7101.0947435397647},
      {4.9900000000000002, 9951.4272399239871},
      {5, 9928.6434744754315},
      {5.0000010000000001, 9928.6411444951609},
      {5.75, 7095.7557031272372},
  };
  std::vector<double> t;
  for (const auto& e : expected) t.push_back(e[0]);
  const auto v = spline(x, y, t);
  for (std::size_t i = 0; i < t.size(); ++i)
    EXPECT_NEAR(v[i], expected[i][1], 1e-12 * std::fabs(expected[i][1])) << "at " << t[i];
}

// Abscissae that jump across many pieces, forwards, backwards, to both ends and back, give
// exactly what one-by-one evaluation gives, and ascending runs through a long spline match too.
TEST(Spline, FarJumpsBetweenPiecesMatchOneByOne) {
  const std::size_t n = 50000;
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i)
    x[i] = static_cast<double>(i) + 0.3 * std::sin(static_cast<double>(i));
  const Spline s(x, sample(x, smooth));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> ascending;
  for (double t = -3; t < 50003; t += 9.7) ascending.push_back(t);
  const std::vector<std::vector<double>> cases = {
      ascending,
      {0.5, 1, 1.5, 2, 40000, 3, 49998.9, 49999, 60000, -7, 25000.25, 25001, 24999, 1},
      {49990, 49000, 30000, 10, 9.5, 0.2, 0, -1, 31.7, 31.6, 31.8},
      {100, nan, 101, nan, -5, 50000},
      {x[1], x[2], x[n - 2], x[n - 1], x[1], x[0], x[n - 3]},  // right on knots
  };
  for (const auto& t : cases) {
    const auto v = s(t);
    for (std::size_t i = 0; i < t.size(); ++i) {
      if (std::isnan(t[i])) {
        EXPECT_TRUE(std::isnan(v[i]));
      } else {
        EXPECT_EQ(v[i], s(t[i])) << "at " << t[i];
      }
    }
    const auto w = spline(x, sample(x, smooth), t);
    for (std::size_t i = 0; i < t.size(); ++i) {
      if (!std::isnan(t[i])) {
        EXPECT_EQ(w[i], v[i]) << "at " << t[i];
      }
    }
  }
}

// Knots ninety orders of magnitude closer together or further apart than usual: the spline
// still reproduces a cubic.
TEST(Spline, ExtremeKnotSpacingsStillInterpolate) {
  for (double scale : {1e-90, 1e-30, 1.0, 1e30, 1e90}) {
    SCOPED_TRACE(scale);
    std::vector<double> x, y;
    for (int i = 0; i < 40; ++i) {
      x.push_back(scale * (i + 0.4 * std::sin(i)));
      y.push_back(cubic(x.back() / scale));
    }
    const Spline s(x, y);
    for (double u = -1; u < 41; u += 0.37)
      EXPECT_NEAR(s(u * scale), cubic(u), 1e-9 * (1 + std::fabs(cubic(u))));
  }
}

}  // namespace
}  // namespace quorin
