// Logged track data worked through: each corner's damper velocity, the share of time it
// spends in each velocity band, compression and rebound apart, and the speeds below which it
// spends half, nine tenths and all but a hundredth of its time.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "measured/run_file.h"

namespace quorin::measured {

// Upper edges of the bands in m/s: 0-25, 25-50, 50-100, 100-250 and above 250 mm/s.
inline constexpr std::array<double, 4> kBandEdgesMps = {0.025, 0.05, 0.1, 0.25};
inline constexpr std::array<std::string_view, 5> kBandNames = {"0-25", "25-50", "50-100", "100-250",
                                                               ">250"};
// The shares of time the speeds are given for.
inline constexpr std::array<double, 3> kTimeShares = {0.5, 0.9, 0.99};

struct CornerHistogram {
  int corner = 0;
  // Percent of the logged time in each band, compression (velocity > 0) and rebound apart;
  // the ten add up to 100 (time standing still counts in the first compression band).
  std::array<double, 5> compression_percent{}, rebound_percent{};
  // |velocity| below which 50, 90 and 99 % of the time is spent, m/s.
  std::array<double, 3> speed_below{};
  std::size_t samples = 0;
};

// Every corner of the file. A position channel is turned into velocity as a dyno run's
// displacement is. Each sample stands for the time to the next (the last for the usual step).
std::vector<CornerHistogram> track_histograms(const TrackFile& file);

}  // namespace quorin::measured
