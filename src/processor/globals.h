// The program's shared state: the 47 globals that outlive one action, typed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plotting/damper_curve.h"
#include "services/gfx/model.h"
#include "services/numeric.h"
#include "services/value.h"

namespace quorin {

// One measured curve: velocities (m/s, ascending) and the matching forces (N).
struct MeasuredCurve {
  std::vector<double> velocity;
  std::vector<double> force;
};

// A valving table {valve row, spring row}(high-speed index) as read from the valving data
// file; rows are the velocity or force rows `data` of each record.
struct ValvingTable {
  std::size_t valves = 0, springs = 0;
  // cells[(spring - 1) * valves + (valve - 1)][h - 1]
  std::vector<std::vector<std::vector<double>>> cells;
  // The row at {v, s}(h), 1-based; nullptr when the table holds no such entry.
  const std::vector<double>* entry(std::size_t v, std::size_t s, std::size_t h) const;
};
// Converts a cell table of record arrays with field `data`; throws RuntimeError naming
// `what` and the first malformed entry.
ValvingTable valving_table_from_value(const Value& v, const std::string& what);
Value to_value(const ValvingTable& t);

// A folder or file name returned by a file dialog; nullopt is the cancel value 0.
using DialogText = std::optional<std::string>;

struct Globals {
  // Handles into the comparison and turn windows.
  gfx::Handle ID_lht, ID_rht, IDhandle;
  gfx::Handle balance_lht, balance_rht;
  gfx::Handle plothandle, plothandle_lht, plothandle_rht;

  // The last dyno file read (see dyno/loadshock.h); starts with zero curves.
  Value ShockData;

  // Selections of the last synthesis.
  std::string cbleed, chigh, cspring, cvalve;
  std::string rbleed, rhigh, rspring, rvalve;
  double cbleedvalue = 0;
  std::string mrstr;

  // Valving tables.
  ValvingTable compvel, compforce, rebvel, rebforce;

  // Counters: next record to store, and 1 + the number of "view" runs.
  double counter = 0;
  double counter2 = 0;

  std::vector<DamperCurve> plotdata;

  // Imported text curve: column 1 velocity, columns 2 and 3 forces.
  Matrix import;

  // Files and folders.
  DialogText pn, fn;
  std::string path, directory;

  // Units: flags from the radio buttons, and the display factors of the last synthesis.
  double siunits = 0, usunits = 0;
  double sitous_vel = 0, sitous_force = 0;

  // Axis limits from the limit boxes; nullopt when a box holds no number.
  std::optional<double> xmin, xmax, ymin, ymax;

  // Declared only: registered names that no action uses.
  Value compression_force, compression_velocity, rebound_force, rebound_velocity;
  Value curveIDcompression, curveIDrebound, mr, filename;
};

}  // namespace quorin
