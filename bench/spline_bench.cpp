// Building and evaluating the damper-curve spline at the sizes the curve synthesis uses.
#include <benchmark/benchmark.h>

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

void BM_SplineBuildAndEvaluate(benchmark::State& state) {
  const auto knots = static_cast<std::size_t>(state.range(0));
  const auto points = static_cast<std::size_t>(state.range(1));
  std::vector<double> x, y;
  make_curve(knots, x, y);
  std::vector<double> t(points);
  for (std::size_t i = 0; i < points; ++i) t[i] = 5.0 * static_cast<double>(i) / static_cast<double>(points - 1);
  for (auto _ : state) {
    auto v = quorin::spline(x, y, t);
    benchmark::DoNotOptimize(v.data());
  }
}
BENCHMARK(BM_SplineBuildAndEvaluate)->Args({5000, 5000})->Unit(benchmark::kMicrosecond);

void BM_SplineEvaluateUnsorted(benchmark::State& state) {
  std::vector<double> x, y;
  make_curve(5000, x, y);
  const quorin::Spline s(x, y);
  std::vector<double> t(5000);
  for (std::size_t i = 0; i < t.size(); ++i) t[i] = std::fmod(static_cast<double>(i) * 0.618034, 1.0) * 5.0;
  for (auto _ : state) {
    auto v = s(t);
    benchmark::DoNotOptimize(v.data());
  }
}
BENCHMARK(BM_SplineEvaluateUnsorted)->Unit(benchmark::kMicrosecond);

}  // namespace
