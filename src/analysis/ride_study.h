// A ride study: one case (a road, a kerb or the shaker) run for every stored curve, or for a
// list of set-ups, and its results as a table for the window, the clipboard and CSV files.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/ride.h"
#include "plotting/damper_curve.h"

namespace quorin::analysis {

enum class RideCaseKind { Road, Kerb, Shaker };
// "road", "kerb", "shaker"; throws RuntimeError for anything else.
RideCaseKind ride_case_named(std::string_view name);
std::string_view ride_case_name(RideCaseKind k);

// The road of a road case: a class road made from a seed, or a profile read from a file.
struct RoadChoice {
  std::string road_class = "C";  // A to E; ignored when `file` is set
  double duration_s = 60;        // the class road's length is speed x duration
  std::uint64_t seed = 1;
  std::string file;              // a road file; empty: the class road
};

struct RideCase {
  RideCaseKind kind = RideCaseKind::Road;
  QuarterCar car;
  RoadChoice road;
  double speed_kmh = 100;  // on the road
  KerbCase kerb;
  ShakerCase shaker;
};

// The road the case drives on: the class road made from its seed, or `profile` when the
// road comes from a file. Throws RuntimeError for a bad class, speed or duration.
RoadProfile class_road(const RideCase& c);

// One damper of the study and what it did.
struct RideRow {
  int number = 0;    // stored curve number, or the set-up's line in a list
  std::string name;  // the first legend line
  RoadResult road;
  KerbResult kerb;
  ShakerResult shaker;
};
struct RideStudy {
  RideCase what;
  std::string road_text;  // how the road was made, in words
  std::vector<RideRow> rows;
};

// Runs the case for each damper (`road` is used by a road case). Throws RuntimeError.
RideStudy run_ride_study(const RideCase& c, const RoadProfile& road,
                         const std::vector<std::pair<int, std::string>>& names,
                         const std::vector<DamperLaw>& dampers);

// The table of the study: headings and one line of numbers per damper (kerb times that
// never settle are NaN).
struct RideTable {
  std::vector<std::string> heading;
  std::vector<int> decimals;
  std::vector<std::vector<double>> values;
};
RideTable ride_table(const RideStudy& s);
// "Curve", "Name", then the table's headings; tab-separated for the clipboard, or
// comma-separated with CRLF line ends for spreadsheets. Shaker studies add one line per
// frequency after the table's lines in the CSV.
std::string ride_tsv(const RideStudy& s);
std::string ride_csv(const RideStudy& s);

// One line of a batch study: a set-up as clicks, "LSC=3 HSC=12 LSR=5 HSR=9", read into the
// four click texts; adjusters not named keep the main window's.
struct ClickSet {
  std::optional<std::string> lsc, hsc, lsr, hsr;
};
// Reads a list of set-ups, one per line ('#' comments and blank lines skipped). Throws
// RuntimeError naming the line of a word that is not ADJUSTER=CLICK.
std::vector<ClickSet> parse_click_sets(std::string_view text);

}  // namespace quorin::analysis
