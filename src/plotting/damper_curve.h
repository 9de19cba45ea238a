// The damper-curve record: one stored set-up's synthesised curves, scales and legend texts.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "services/value.h"

namespace quorin {

// Velocities in metres per second, forces in newtons for the base rows; the four rows at the
// wheel are in the display units current when the record was made.
struct DamperCurve {
  std::vector<double> cmpvelocity;  // at the damper, one per force of cmpforce
  std::vector<double> cmpforce;     // 0, 1, ..., Nc
  std::vector<double> rebvelocity;
  std::vector<double> rebforce;     // 0, -1, ..., -Nr
  double compscale = 1;
  double rebscale = 1;
  double gasforce = 0;
  double motionratio = 1;
  std::vector<double> compression_velocity;
  std::vector<double> compression_force;
  std::vector<double> rebound_velocity;
  std::vector<double> rebound_force;
  std::string curveIDcompression1;
  std::string curveIDcompression2;
  std::string curveIDrebound1;
  std::string curveIDrebound2;

  friend bool operator==(const DamperCurve&, const DamperCurve&) = default;
};

// The sixteen field names in record order.
inline constexpr std::array<std::string_view, 16> kDamperCurveFields = {
    "cmpvelocity",          "cmpforce",          "rebvelocity",         "rebforce",
    "compscale",            "rebscale",          "gasforce",            "motionratio",
    "compression_velocity", "compression_force", "rebound_velocity",    "rebound_force",
    "curveIDcompression1",  "curveIDcompression2", "curveIDrebound1",   "curveIDrebound2"};

// Conversions at the value edge (function-table calls, the script driver). `from_value`
// throws RuntimeError naming a missing or malformed field.
Value to_value(const std::vector<DamperCurve>& plotdata);
std::vector<DamperCurve> plotdata_from_value(const Value& v);

}  // namespace quorin
