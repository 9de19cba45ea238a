#include "analysis/velocity_table.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "processor/export_grid.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::analysis {
namespace {

// The stored curve `number`'s row of one side; throws RuntimeError when it is not stored.
const DrawnCurve& side_of(const std::vector<DrawnCurve>& stored, int number, Side side) {
  for (const DrawnCurve& c : stored)
    if (c.number == number && c.side == side) return c;
  int count = 0;
  for (const DrawnCurve& c : stored)
    if (c.number) count = std::max(count, *c.number);
  throw RuntimeError("Curve " + std::to_string(number) + " is not stored; curves 1 to " +
                     std::to_string(count) + " are.");
}

}  // namespace

std::optional<double> force_at(const std::vector<double>& velocity,
                               const std::vector<double>& force, double at) {
  const std::size_t n = std::min(velocity.size(), force.size());
  if (n == 0 || std::isnan(at)) return std::nullopt;
  for (std::size_t k = 0; k < n; ++k)
    if (velocity[k] == at) return force[k];
  for (std::size_t k = 0; k + 1 < n; ++k) {
    const double v0 = velocity[k], v1 = velocity[k + 1];
    if ((v0 < at && at < v1) || (v1 < at && at < v0)) {
      // f(at) = f0 + (f1 - f0) * (at - v0) / (v1 - v0)
      return force[k] + (force[k + 1] - force[k]) * (at - v0) / (v1 - v0);
    }
  }
  return std::nullopt;
}

std::vector<double> default_velocities(bool si) {
  if (si) return {kMetricGrid.begin(), kMetricGrid.end()};
  return {kUSGrid.begin(), kUSGrid.end()};
}

std::vector<double> parse_velocities(std::string_view text) {
  std::vector<double> out;
  std::size_t i = 0;
  auto separator = [](char ch) { return ch == ' ' || ch == '\t' || ch == ',' || ch == ';'; };
  while (i < text.size()) {
    while (i < text.size() && separator(text[i])) ++i;
    std::size_t j = i;
    while (j < text.size() && !separator(text[j])) ++j;
    if (j > i) {
      const std::string_view entry = text.substr(i, j - i);
      const std::optional<double> v = str2double(entry);
      if (!v || !std::isfinite(*v))
        throw RuntimeError("The velocity \"" + std::string(entry) + "\" is not a number.");
      out.push_back(*v);
    }
    i = j;
  }
  if (out.empty()) throw RuntimeError("The list of velocities is empty.");
  return out;
}

std::string velocities_text(const std::vector<double>& velocities) {
  std::string out;
  for (double v : velocities) {
    if (!out.empty()) out += ' ';
    out += exact_number(v);
  }
  return out;
}

VelocityTable velocity_table(const std::vector<DrawnCurve>& stored,
                             const std::vector<double>& velocities) {
  VelocityTable t;
  t.velocity = velocities;
  for (const DrawnCurve& c : stored) {
    if (!c.number) continue;
    TableColumn col{*c.number, c.side, c.name, {}};
    for (double v : velocities) col.force.push_back(force_at(c.velocity, c.force, v));
    t.columns.push_back(std::move(col));
  }
  return t;
}

std::vector<std::string> table_header(const VelocityTable& t, const ShownUnits& units) {
  std::vector<std::string> h{"Velocity (" + std::string(units.velocity) + ")"};
  for (const TableColumn& c : t.columns)
    h.push_back(std::to_string(c.number) + " " + std::string(side_name(c.side)) + " (" +
                std::string(units.force) + ")");
  return h;
}

std::string table_tsv(const VelocityTable& t, const ShownUnits& units) {
  std::string out;
  const std::vector<std::string> header = table_header(t, units);
  for (std::size_t k = 0; k < header.size(); ++k) out += (k ? "\t" : "") + header[k];
  out += '\n';
  for (std::size_t r = 0; r < t.velocity.size(); ++r) {
    out += exact_number(t.velocity[r]);
    for (const TableColumn& c : t.columns) {
      out += '\t';
      if (c.force[r]) out += exact_number(*c.force[r]);
    }
    out += '\n';
  }
  return out;
}

SideDifference side_difference(const std::vector<double>& a_velocity,
                               const std::vector<double>& a_force,
                               const std::vector<double>& b_velocity,
                               const std::vector<double>& b_force) {
  SideDifference d;
  const std::size_t n = std::min(a_velocity.size(), a_force.size());
  for (std::size_t k = 0; k < n; ++k) {
    const std::optional<double> fb = force_at(b_velocity, b_force, a_velocity[k]);
    if (!fb) continue;  // outside B's range
    const double df = *fb - a_force[k];
    d.velocity.push_back(a_velocity[k]);
    d.force.push_back(df);
    d.percent.push_back(a_force[k] == 0 ? std::numeric_limits<double>::quiet_NaN()
                                        : 100 * df / a_force[k]);
  }
  return d;
}

CurveDifference curve_difference(const std::vector<DrawnCurve>& stored, int a, int b) {
  const DrawnCurve& ac = side_of(stored, a, Side::Compression);
  const DrawnCurve& ar = side_of(stored, a, Side::Rebound);
  const DrawnCurve& bc = side_of(stored, b, Side::Compression);
  const DrawnCurve& br = side_of(stored, b, Side::Rebound);
  return {side_difference(ac.velocity, ac.force, bc.velocity, bc.force),
          side_difference(ar.velocity, ar.force, br.velocity, br.force)};
}

}  // namespace quorin::analysis
