// The velocities an exported curve is sampled at, in the units shown.
#pragma once

#include <array>

namespace quorin {

// Inches per second (US units) and metres per second (SI units).
inline constexpr std::array<double, 20> kUSGrid = {
    0, 0.25, 0.5, 0.75, 1, 1.25, 1.5, 1.75, 2, 2.25, 2.5, 2.75, 3, 3.5, 4, 4.5, 5, 6, 8, 10};
inline constexpr std::array<double, 20> kMetricGrid = {0,     0.005, 0.01, 0.015, 0.02, 0.025, 0.03,
                                                       0.035, 0.04,  0.05, 0.06,  0.07, 0.08,  0.09,
                                                       0.1,   0.125, 0.15, 0.175, 0.2,  0.25};

}  // namespace quorin
