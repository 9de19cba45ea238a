// The points the comparison window draws, as rows for a spreadsheet: every stored curve
// recomputed in the units shown, and the import, dyno and third-valve curves on the graph.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plotting/damper_curve.h"
#include "plotting/plotfunction.h"
#include "services/gfx/model.h"

namespace quorin::analysis {

enum class Side { Compression, Rebound };
std::string_view side_name(Side s);  // "compression", "rebound"

// One drawn curve of one side: velocities and forces in the units shown (rebound forces
// negative, as drawn). Stored curves carry their number; the overlays none.
struct DrawnCurve {
  std::optional<int> number;
  std::string name;  // a stored curve's first legend line
  Side side = Side::Compression;
  std::vector<double> velocity, force;
};

// The units the comparison window shows, for headers and axis labels.
struct ShownUnits {
  UnitFactors factors = kSIFactors;
  std::string_view velocity = "m/s";
  std::string_view force = "N";
};
ShownUnits shown_units(bool si);

// Compression and then rebound of stored curves 1 .. counter - 1, in the units shown.
// Throws RuntimeError when counter is not a whole number from 1 up or plotdata lacks a curve.
std::vector<DrawnCurve> stored_curves(const std::vector<DamperCurve>& plotdata, double counter,
                                      UnitFactors units);

// The reference curves now drawn in the comparison axes: the import pair (dashed blue), the
// dyno curve (dashed black, split into its compression and rebound points) and the
// third-valve pairs (dash-dot). A line drawn twice is taken once.
std::vector<DrawnCurve> overlay_curves(gfx::Model& m, const gfx::Axes& plot);

// A table of one row per point, with the header "Curve, Name, Side, Velocity (unit), Force
// (unit)": comma-separated with quoting and CRLF line ends as spreadsheets read CSV files,
// or tab-separated lines for the clipboard. Numbers are written exactly (shortest text that
// reads back as the same number).
std::string points_csv(const std::vector<DrawnCurve>& curves, const ShownUnits& units);
std::string points_tsv(const std::vector<DrawnCurve>& curves, const ShownUnits& units);

// One CSV field: quoted (inner quotes doubled) when it holds a comma, quote, CR or LF.
std::string csv_field(std::string_view text);
// The shortest text that reads back as exactly `v`; "NaN", "Inf" and "-Inf" for the others.
std::string exact_number(double v);

}  // namespace quorin::analysis
