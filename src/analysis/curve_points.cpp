#include "analysis/curve_points.h"

#include <array>
#include <charconv>
#include <cmath>
#include <numeric>

#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::analysis {
namespace {

constexpr std::string_view kImportName = "Import";
constexpr std::string_view kDynoName = "Dyno";
constexpr std::string_view kThirdName = "Add 3rd";

using Row = std::array<std::string, 5>;

std::vector<Row> rows_of(const std::vector<DrawnCurve>& curves, const ShownUnits& units) {
  std::vector<Row> rows;
  rows.push_back({"Curve", "Name", "Side", "Velocity (" + std::string(units.velocity) + ")",
                  "Force (" + std::string(units.force) + ")"});
  for (const DrawnCurve& c : curves) {
    const std::string number = c.number ? std::to_string(*c.number) : std::string();
    const std::size_t n = std::min(c.velocity.size(), c.force.size());
    for (std::size_t k = 0; k < n; ++k)
      rows.push_back({number, c.name, std::string(side_name(c.side)), exact_number(c.velocity[k]),
                      exact_number(c.force[k])});
  }
  return rows;
}

bool is_style(const gfx::Line& l, std::string_view style, std::optional<gfx::Color> colour) {
  return l.line_style == style && (!colour || l.color == *colour);
}

}  // namespace

std::string_view side_name(Side s) {
  return s == Side::Compression ? "compression" : "rebound";
}

ShownUnits shown_units(bool si) {
  if (si) return {kSIFactors, "m/s", "N"};
  return {kUSFactors, "in/s", "lbs"};
}

std::vector<DrawnCurve> stored_curves(const std::vector<DamperCurve>& plotdata, double counter,
                                      UnitFactors units) {
  if (!(counter >= 1) || counter != std::floor(counter))
    throw RuntimeError("The curve counter " + num2str(counter) +
                       " is not a whole number from 1 up.");
  const auto n = static_cast<std::size_t>(counter) - 1;
  if (n > plotdata.size())
    throw RuntimeError("plotdata has no curve " + std::to_string(plotdata.size() + 1) + ".");
  std::vector<DrawnCurve> out;
  for (std::size_t i = 1; i <= n; ++i) {
    const DamperCurve& p = plotdata[i - 1];
    WheelCurves w = wheel_curves(p, units);
    const int number = static_cast<int>(i);
    out.push_back({number, p.curveIDcompression1, Side::Compression,
                   std::move(w.compression_velocity), std::move(w.compression_force)});
    out.push_back({number, p.curveIDcompression1, Side::Rebound, std::move(w.rebound_velocity),
                   std::move(w.rebound_force)});
  }
  return out;
}

std::vector<DrawnCurve> overlay_curves(gfx::Model& m, const gfx::Axes& plot) {
  constexpr gfx::Color kBlue{0, 0, 1}, kBlack{0, 0, 0};
  std::vector<const gfx::Line*> seen;
  std::vector<DrawnCurve> out;
  int imports = 0;
  for (gfx::Line* l : m.children_of<gfx::Line>(plot)) {
    const bool import = is_style(*l, "--", kBlue);
    const bool dyno = is_style(*l, "--", kBlack);
    const bool third = is_style(*l, "-.", std::nullopt);
    if (!import && !dyno && !third) continue;
    bool twice = false;
    for (const gfx::Line* s : seen)
      twice = twice || (s->line_style == l->line_style && s->color == l->color && s->x == l->x &&
                        s->y == l->y);
    if (twice) continue;
    seen.push_back(l);
    const std::size_t n = std::min(l->x.size(), l->y.size());
    if (dyno) {
      // One line for both sides: each point goes with the side its force is on.
      DrawnCurve c{std::nullopt, std::string(kDynoName), Side::Compression, {}, {}};
      DrawnCurve r{std::nullopt, std::string(kDynoName), Side::Rebound, {}, {}};
      for (std::size_t k = 0; k < n; ++k) {
        DrawnCurve& to = l->y[k] < 0 ? r : c;
        to.velocity.push_back(l->x[k]);
        to.force.push_back(l->y[k]);
      }
      for (DrawnCurve* d : {&c, &r})
        if (!d->velocity.empty()) out.push_back(std::move(*d));
      continue;
    }
    // A whole line lies on the side most of its force is on.
    const double sum = std::accumulate(l->y.begin(), l->y.begin() + static_cast<long>(n), 0.0);
    std::string name(third ? kThirdName : kImportName);
    if (import) name += " column " + std::to_string(2 + (imports++ % 2));
    out.push_back({std::nullopt, std::move(name), sum < 0 ? Side::Rebound : Side::Compression,
                   std::vector<double>(l->x.begin(), l->x.begin() + static_cast<long>(n)),
                   std::vector<double>(l->y.begin(), l->y.begin() + static_cast<long>(n))});
  }
  return out;
}

std::string csv_field(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char ch : text) {
    if (ch == '"') out += '"';
    out += ch;
  }
  out += '"';
  return out;
}

std::string exact_number(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  std::array<char, 64> buf{};
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return std::string(buf.data(), r.ptr);
}

std::string points_csv(const std::vector<DrawnCurve>& curves, const ShownUnits& units) {
  std::string out;
  for (const Row& row : rows_of(curves, units)) {
    for (std::size_t k = 0; k < row.size(); ++k) {
      if (k) out += ',';
      out += csv_field(row[k]);
    }
    out += "\r\n";
  }
  return out;
}

std::string points_tsv(const std::vector<DrawnCurve>& curves, const ShownUnits& units) {
  std::string out;
  for (const Row& row : rows_of(curves, units)) {
    for (std::size_t k = 0; k < row.size(); ++k) {
      if (k) out += '\t';
      // A tab or line break inside a name would split the row in a spreadsheet.
      for (char ch : row[k]) out += (ch == '\t' || ch == '\n' || ch == '\r') ? ' ' : ch;
    }
    out += '\n';
  }
  return out;
}

}  // namespace quorin::analysis
