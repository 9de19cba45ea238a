// Building and evaluating the damper-curve spline at the sizes the curve synthesis uses, beside
// a minimal not-a-knot solver in one buffer that serves as the yardstick. Each run reports the
// page faults per call ("faults"): a build that hands its memory back to the system and takes it
// again shows up there.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <vector>

#include "services/numeric.h"

namespace {

// A damper-like measured curve: force rising steeply at low velocity, then flattening.
void make_curve(std::size_t n, std::vector<double>& x, std::vector<double>& y) {
  x.resize(n);
  y.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = 5.0 * static_cast<double>(i) / static_cast<double>(n - 1);
    y[i] = 4000.0 * std::sqrt(x[i]) + 300.0 * x[i];
  }
}

std::vector<double> sorted_points(std::size_t points) {
  std::vector<double> t(points);
  for (std::size_t i = 0; i < points; ++i)
    t[i] = 5.0 * static_cast<double>(i) / static_cast<double>(points - 1);
  return t;
}

long minor_faults() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_minflt;
}

// The yardstick: the not-a-knot spline as a textbook would write it, all of its arrays in one
// buffer taken per call (widths, slopes, the three diagonals, the right side, slopes at the
// knots, the two higher coefficients), elimination downwards, substitution upwards, then a walk
// along the pieces for the sorted points.
// Needs n >= 4 and ascending x; no checks.
std::vector<double> minimal_spline(const std::vector<double>& x, const std::vector<double>& y,
                                   const std::vector<double>& t) {
  const std::size_t n = x.size(), k = n - 2;
  std::vector<double> buf(4 * (n - 1) + 4 * k + n);
  double* h = buf.data();
  double* m = h + (n - 1);
  double* sub = m + (n - 1);
  double* diag = sub + k;
  double* sup = diag + k;
  double* rhs = sup + k;
  double* s = rhs + k;
  double* c = s + n;
  double* d = c + (n - 1);
  for (std::size_t i = 0; i + 1 < n; ++i) {
    h[i] = x[i + 1] - x[i];
    m[i] = (y[i + 1] - y[i]) / h[i];
  }
  for (std::size_t r = 0; r < k; ++r) {
    const std::size_t i = r + 1;
    sub[r] = h[i];
    diag[r] = 2 * (h[i - 1] + h[i]);
    sup[r] = h[i - 1];
    rhs[r] = 3 * (h[i] * m[i - 1] + h[i - 1] * m[i]);
  }
  const std::size_t e = n - 2;
  const double left = ((3 * h[0] + 2 * h[1]) * h[1] * m[0] + h[0] * h[0] * m[1]) / (h[0] + h[1]);
  const double right =
      ((3 * h[e] + 2 * h[e - 1]) * h[e - 1] * m[e] + h[e] * h[e] * m[e - 1]) / (h[e - 1] + h[e]);
  diag[0] -= h[0] + h[1];
  rhs[0] -= left;
  diag[k - 1] -= h[e - 1] + h[e];
  rhs[k - 1] -= right;
  for (std::size_t r = 1; r < k; ++r) {
    const double w = sub[r] / diag[r - 1];
    diag[r] -= w * sup[r - 1];
    rhs[r] -= w * rhs[r - 1];
  }
  s[n - 2] = rhs[k - 1] / diag[k - 1];
  for (std::size_t r = k - 1; r-- > 0;) s[r + 1] = (rhs[r] - sup[r] * s[r + 2]) / diag[r];
  s[0] = (left - (h[0] + h[1]) * s[1]) / h[1];
  s[n - 1] = (right - (h[e - 1] + h[e]) * s[n - 2]) / h[e - 1];

  for (std::size_t i = 0; i + 1 < n; ++i) {
    c[i] = (3 * m[i] - 2 * s[i] - s[i + 1]) / h[i];
    d[i] = (s[i] + s[i + 1] - 2 * m[i]) / (h[i] * h[i]);
  }

  std::vector<double> out(t.size());
  std::size_t i = 0;
  for (std::size_t j = 0; j < t.size(); ++j) {
    while (i + 2 < n && t[j] >= x[i + 1]) ++i;
    const double u = t[j] - x[i];
    out[j] = y[i] + u * (s[i] + u * (c[i] + u * d[i]));
  }
  return out;
}

template <typename Build>
void run(benchmark::State& state, Build build) {
  const auto knots = static_cast<std::size_t>(state.range(0));
  const auto points = static_cast<std::size_t>(state.range(1));
  std::vector<double> x, y;
  make_curve(knots, x, y);
  const std::vector<double> t = sorted_points(points);
  for (int warm = 0; warm < 3; ++warm) benchmark::DoNotOptimize(build(x, y, t).data());
  const long faults = minor_faults();
  for (auto _ : state) {
    auto v = build(x, y, t);
    benchmark::DoNotOptimize(v.data());
  }
  state.counters["faults"] = benchmark::Counter(static_cast<double>(minor_faults() - faults),
                                                benchmark::Counter::kAvgIterations);
}

void BM_SplineBuildAndEvaluate(benchmark::State& state) {
  run(state, [](const auto& x, const auto& y, const auto& t) { return quorin::spline(x, y, t); });
}
void BM_MinimalSplineBuildAndEvaluate(benchmark::State& state) {
  run(state, [](const auto& x, const auto& y, const auto& t) { return minimal_spline(x, y, t); });
}
// The two side by side at each size, so that their ratio comes from the same moment.
#define QUORIN_SPLINE_SIZES(b) \
  b->Args({50, 5000})          \
      ->Args({500, 5000})      \
      ->Args({5000, 5000})     \
      ->Args({50000, 5000})    \
      ->Unit(benchmark::kMicrosecond)
QUORIN_SPLINE_SIZES(BENCHMARK(BM_SplineBuildAndEvaluate));
QUORIN_SPLINE_SIZES(BENCHMARK(BM_MinimalSplineBuildAndEvaluate));

// As a bleed curve is turned round: velocity at each whole newton through the spline whose
// knots are the forces at a uniform velocity grid (many newtons per piece at low speed, many
// pieces per newton at high speed).
void BM_SplineVelocityAtWholeNewtons(benchmark::State& state) {
  std::vector<double> v, f;
  make_curve(3501, v, f);
  std::vector<double> newtons(static_cast<std::size_t>(f.back()) + 1);
  for (std::size_t k = 0; k < newtons.size(); ++k) newtons[k] = static_cast<double>(k);
  for (auto _ : state) {
    auto out = quorin::spline(f, v, newtons);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["knots"] = static_cast<double>(f.size());
  state.counters["points"] = static_cast<double>(newtons.size());
}
BENCHMARK(BM_SplineVelocityAtWholeNewtons)->Unit(benchmark::kMicrosecond);

void BM_SplineEvaluateUnsorted(benchmark::State& state) {
  std::vector<double> x, y;
  make_curve(5000, x, y);
  const quorin::Spline s(x, y);
  std::vector<double> t(5000);
  for (std::size_t i = 0; i < t.size(); ++i)
    t[i] = std::fmod(static_cast<double>(i) * 0.618034, 1.0) * 5.0;
  for (auto _ : state) {
    auto v = s(t);
    benchmark::DoNotOptimize(v.data());
  }
}
BENCHMARK(BM_SplineEvaluateUnsorted)->Unit(benchmark::kMicrosecond);

}  // namespace
