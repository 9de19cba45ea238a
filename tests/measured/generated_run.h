// Dyno runs made up from a known damper: a sine drive at several speeds through a known
// force-velocity curve, with a gas force, a seal friction and noise, written as a run file.
#pragma once

#include <cmath>
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
      const double clean = d.curve(v) + d.gas_n + (v > 0 ? d.friction_n : v < 0 ? -d.friction_n : 0);
      const double f = clean + d.noise_fraction * std::abs(clean) * unit_noise(random);
      std::snprintf(line, sizeof line, "%d,%.6f,%.5f,%.3f\n", run, t, x * 1000, f);
      out += line;
    }
    ++run;
  }
  return out;
}

}  // namespace quorin::testing
