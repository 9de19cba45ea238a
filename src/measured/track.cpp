#include "measured/track.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "measured/processing.h"

namespace quorin::measured {
namespace {

std::size_t band_of(double speed) {
  std::size_t b = 0;
  while (b < kBandEdgesMps.size() && speed >= kBandEdgesMps[b]) ++b;
  return b;
}

double usual_step(const std::vector<double>& t) {
  if (t.size() < 2) return 0;
  std::vector<double> steps(t.size() - 1);
  for (std::size_t k = 1; k < t.size(); ++k) steps[k - 1] = t[k] - t[k - 1];
  std::nth_element(steps.begin(), steps.begin() + static_cast<long>(steps.size() / 2), steps.end());
  return steps[steps.size() / 2];
}

}  // namespace

std::vector<CornerHistogram> track_histograms(const TrackFile& file) {
  std::vector<CornerHistogram> out;
  const std::vector<double>& t = file.time_s;
  const std::size_t n = t.size();
  const double step = usual_step(t);
  for (const TrackChannel& ch : file.channels) {
    CornerHistogram h;
    h.corner = ch.corner;
    h.samples = n;
    if (n == 0) {
      out.push_back(h);
      continue;
    }
    const std::vector<double> v =
        ch.is_velocity
            ? ch.samples
            : sg_velocity(ch.samples, step, velocity_half_width(step > 0 ? 1 / step : 0));
    // Each sample weighted by the time it stands for.
    std::vector<std::pair<double, double>> speed_time(n);
    double total = 0;
    for (std::size_t k = 0; k < n; ++k) {
      const double dt = k + 1 < n ? t[k + 1] - t[k] : step;
      const double s = std::abs(v[k]);
      (v[k] < 0 ? h.rebound_percent : h.compression_percent)[band_of(s)] += dt;
      speed_time[k] = {s, dt};
      total += dt;
    }
    if (total > 0) {
      for (double& p : h.compression_percent) p *= 100 / total;
      for (double& p : h.rebound_percent) p *= 100 / total;
    }
    std::sort(speed_time.begin(), speed_time.end());
    std::size_t share = 0;
    double so_far = 0;
    for (const auto& [s, dt] : speed_time) {
      so_far += dt;
      while (share < kTimeShares.size() && so_far >= kTimeShares[share] * total)
        h.speed_below[share++] = s;
    }
    while (share < kTimeShares.size()) h.speed_below[share++] = speed_time.back().first;
    out.push_back(h);
  }
  return out;
}

}  // namespace quorin::measured
