// Dyno runs made up from a known damper: a sine drive at several speeds through a known
// force-velocity curve, with a gas force, a seal friction and noise, written as a run file.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace quorin::testing {

struct GeneratedDamper {
  std::function<double(double)> curve;  // damping force (N) at velocity (m/s), signed
  double gas_n = 150;
  double friction_n = 40;
  double noise_fraction = 0.02;  // of each sample's force, standard deviation
  double amplitude_m = 0.025;
  std::vector<double> frequencies_hz = {0.3, 0.6, 1.2, 2.5, 5, 8};
  double rate_hz = 2000;
  int cycles = 4;
  unsigned seed = 7;
  int displacement_decimals = 5;  // of millimetres, as the file writes them
};

// The file's text: "Run,Time (s),Displacement (mm),Force (N)" with one run per frequency.
inline std::string generated_run_file(const GeneratedDamper& d) {
  std::mt19937 random(d.seed);
  std::normal_distribution<double> unit_noise(0, 1);
  std::string out = "Run,Time (s),Displacement (mm),Force (N)\n";
  char line[160];
  int run = 1;
  for (double hz : d.frequencies_hz) {
    const double w = 2 * std::numbers::pi * hz;
    const auto samples = static_cast<int>(d.cycles * d.rate_hz / hz);
    for (int k = 0; k <= samples; ++k) {
      const double t = k / d.rate_hz;
      // x = -A cos(wt): the stroke starts at its low end and goes in first.
      const double x = -d.amplitude_m * std::cos(w * t);
      const double v = d.amplitude_m * w * std::sin(w * t);
      const double clean = d.curve(v) + d.gas_n +
                           (v > 0   ? d.friction_n
                            : v < 0 ? -d.friction_n
                                    : 0);
      const double f = clean + d.noise_fraction * std::abs(clean) * unit_noise(random);
      std::snprintf(line, sizeof line, "%d,%.6f,%.*f,%.3f\n", run, t, d.displacement_decimals,
                    x * 1000, f);
      out += line;
    }
    ++run;
  }
  return out;
}

// A damper whose force follows a drawn curve: compression points (velocity, force) and
// rebound points (velocity, force below zero), both in rising velocity, read linearly. Its runs
// reach up to nine tenths of the shorter side's last velocity.
inline GeneratedDamper damper_of_curve(std::vector<double> cv, std::vector<double> cf,
                                       std::vector<double> rv, std::vector<double> rf) {
  auto read = [](const std::vector<double>& v, const std::vector<double>& f, double at) {
    if (v.empty()) return 0.0;
    if (at <= v.front()) return v.front() > 0 ? f.front() * at / v.front() : f.front();
    const auto k = static_cast<std::size_t>(std::upper_bound(v.begin(), v.end(), at) - v.begin());
    if (k >= v.size()) return f.back();
    return f[k - 1] + (f[k] - f[k - 1]) * (at - v[k - 1]) / (v[k] - v[k - 1]);
  };
  // Read in rising velocity, whatever order the points come in.
  auto sort_by_velocity = [](std::vector<double>& v, std::vector<double>& f) {
    std::vector<std::pair<double, double>> p;
    for (std::size_t k = 0; k < std::min(v.size(), f.size()); ++k) p.emplace_back(v[k], f[k]);
    std::sort(p.begin(), p.end());
    v.clear();
    f.clear();
    for (const auto& [a, b] : p) {
      v.push_back(a);
      f.push_back(b);
    }
  };
  sort_by_velocity(cv, cf);
  sort_by_velocity(rv, rf);
  GeneratedDamper d;
  d.curve = [=](double v) { return v >= 0 ? read(cv, cf, v) : read(rv, rf, -v); };
  const double top = 0.9 * std::min(cv.empty() ? 0 : cv.back(), rv.empty() ? 0 : rv.back());
  d.frequencies_hz.clear();
  d.rate_hz = 1000;
  d.cycles = 3;
  // Peak velocities spread evenly from a twentieth of the top to the top.
  for (int k = 1; k <= 10; ++k)
    d.frequencies_hz.push_back(top * (0.05 + 0.95 * (k - 1) / 9.0) /
                               (2 * std::numbers::pi * d.amplitude_m));
  return d;
}

}  // namespace quorin::testing
