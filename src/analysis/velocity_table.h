// Forces of stored curves read off at chosen velocities, and the difference of two curves.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/curve_points.h"

namespace quorin::analysis {

// The force of a drawn curve at velocity `at`, interpolated linearly between its points
// (the first segment that spans `at`; a point's own force at a point); nullopt when the
// curve does not reach `at` or is empty.
std::optional<double> force_at(const std::vector<double>& velocity,
                               const std::vector<double>& force, double at);

// The default velocities: the export grid of the units shown.
std::vector<double> default_velocities(bool si);
// Reads a list of velocities separated by blanks, commas or semicolons. Throws RuntimeError
// naming the first entry that is not a number, or when the list is empty.
std::vector<double> parse_velocities(std::string_view text);
// The list as the edit box shows it: numbers separated by a blank.
std::string velocities_text(const std::vector<double>& velocities);

// One column of the table: one side of one stored curve, a force per velocity.
struct TableColumn {
  int number = 0;
  Side side = Side::Compression;
  std::string name;  // the curve's first legend line
  std::vector<std::optional<double>> force;
};
struct VelocityTable {
  std::vector<double> velocity;
  std::vector<TableColumn> columns;  // curve 1 compression, curve 1 rebound, curve 2 ...
};
VelocityTable velocity_table(const std::vector<DrawnCurve>& stored,
                             const std::vector<double>& velocities);

// Header texts of the table ("Velocity (m/s)", "1 compression (N)", ...).
std::vector<std::string> table_header(const VelocityTable& t, const ShownUnits& units);
// Tab-separated lines: the header, then one line per velocity; a blank cell where a curve
// does not reach the velocity.
std::string table_tsv(const VelocityTable& t, const ShownUnits& units);

// B minus A on one side at A's velocities that lie within both curves: dF = F_B - F_A and
// dPercent = 100 dF / F_A (NaN where F_A is 0).
struct SideDifference {
  std::vector<double> velocity, force, percent;
};
SideDifference side_difference(const std::vector<double>& a_velocity,
                               const std::vector<double>& a_force,
                               const std::vector<double>& b_velocity,
                               const std::vector<double>& b_force);

struct CurveDifference {
  SideDifference compression, rebound;
};
// Throws RuntimeError when a curve number names no stored curve among `stored`.
CurveDifference curve_difference(const std::vector<DrawnCurve>& stored, int a, int b);

}  // namespace quorin::analysis
