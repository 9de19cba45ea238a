// From a dyno run's samples to curves: velocity, the strokes between the displacement's
// turning points, the peak-velocity curve, the absolute-velocity curve with its accelerating
// and decelerating branches, the force loops with the energy of each cycle, the gas force and
// the seal friction. Compression is positive: displacement into the damper, velocity and
// force in that direction. All numbers SI.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "measured/run_file.h"

namespace quorin::measured {

// Half-width (samples each side) of the velocity window at `rate_hz` samples a second: about
// 4 ms of samples, from 2 to 25.
std::size_t velocity_half_width(double rate_hz);

// Velocity from displacement by the Savitzky-Golay derivative of a straight line (also that
// of a parabola) over 2m+1 samples, zero phase:
//   v_i = sum_{k=-m..m} k x_{i+k} / (dt sum_{k=-m..m} k^2),  sum k^2 = m(m+1)(2m+1)/3,
// with the window shrunk symmetrically towards the ends. `dt` is the run's usual step.
std::vector<double> sg_velocity(const std::vector<double>& x, double dt, std::size_t m);

// Indices of the displacement's turning points, alternately highs and lows: a turning point
// is where the displacement has come back by `hysteresis` from its last extreme.
std::vector<std::size_t> turning_points(const std::vector<double>& x, double hysteresis);

// One point of the peak-velocity curve: the mean over a run's strokes, and the spread (the
// standard deviation of force over the strokes).
struct PeakPoint {
  double velocity = 0, force = 0, spread = 0, temperature = 0;
  std::size_t strokes = 0;
  bool has_temperature = false;
};

// One run worked through.
struct RunCurves {
  std::string name;
  double rate_hz = 0;
  PeakPoint compression, rebound;  // strokes == 0: none found
  // Per full cycle (low to low): the energy taken out (the F-x loop's area, J), the mean
  // temperature (NaN without a temperature column).
  std::vector<double> cycle_energy_j, cycle_temperature_c;
  // One full cycle from the middle of the run, for the loops: displacement, velocity, force.
  std::vector<double> loop_x, loop_v, loop_f;
  double peak_speed = 0;     // largest |v| of the run
  double stroke_m = 0;       // displacement range
  bool static_hold = false;  // the damper stood still: a gas run
};

// The absolute-velocity curve: force against |v| in bins, each side's accelerating (|v|
// growing) and decelerating branch apart. NaN in a bin no sample fell into.
struct AbsoluteCurve {
  std::vector<double> speed;  // bin centres, m/s
  std::vector<double> compression_accelerating, compression_decelerating;
  std::vector<double> rebound_accelerating, rebound_decelerating;  // rebound forces negative
};

// What a whole run file gives.
struct Processed {
  std::vector<RunCurves> runs;
  AbsoluteCurve absolute;
  double gas_force_n = 0;  // pushing the shaft out: a compression force
  std::string gas_from;    // how it was found, in words
  double friction_n = 0;   // the seal's friction, each way
  bool friction_found = false;
  std::vector<std::string> notes;
};

struct Options {
  std::size_t bins = 40;  // of the absolute-velocity curve
};

// Works every run through. Throws RuntimeError when no run has a stroke to work on.
Processed process(const RunFile& file, const Options& options = {});

// The extracted curve: one point per run and side, rebound first from its fastest point,
// then the origin, then compression up to its fastest: {velocity, force}. With `less_gas`
// the gas force is taken from every force, with `less_friction` the friction (towards zero).
struct ExtractedCurve {
  std::vector<double> velocity, force, spread, temperature;
};
ExtractedCurve extracted_curve(const Processed& p, bool less_gas, bool less_friction);

}  // namespace quorin::measured
