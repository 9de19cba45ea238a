// Checks a start folder's supplied data the way the program reads it: every file and variable
// present with its shape, curves ordered as the resamplers need, and valving and bleed tables
// holding an entry for every selection the option lists offer.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "processor/globals.h"

namespace quorin {

// Throws RuntimeError naming the first problem found, e.g.
// "compforce{3,2}(17).data: forces not increasing at point 12".
void check_supplied_data(const std::filesystem::path& folder);

// The valving-table entry that "view" reads for a spring row, a high-speed row (the popup's
// 1-based Value) and that row's text as a number; compression uses threshold 2, rebound 3.
double high_speed_index(std::size_t spring_row, double clicks, std::size_t row, double threshold);

// Where the shim flow of a measured valve curve (its velocity minus the reference bleed's, on
// the whole-newton force grid 0..N) is smallest from point 100 on: the 1-based grid point and
// the grid's size N + 1. The correction straightens the flow up to the point after it.
struct ShimFlowMinimum {
  std::size_t position;
  std::size_t points;
};
ShimFlowMinimum shim_flow_minimum(const MeasuredCurve& valve, const MeasuredCurve& reference_bleed);

}  // namespace quorin
