// One corner of a car as a quarter car with a stored damper curve as its damper: what the
// curve does to tyre grip and to the body on a road, over a kerb and on a shaker.
//
// Sprung mass m_s on the wheel rate k_s and the damper, unsprung mass m_u on the tyre rate
// k_t; x = z_u - z_s is the suspension's compression, v its velocity:
//   m_s z_s'' = k_s x + F_d(v)
//   m_u z_u'' = -k_s x - F_d(v) + F_t - (m_s + m_u) g,  F_t = max(0, (m_s + m_u) g + k_t (z_r -
//   z_u))
// The car starts at rest in static equilibrium on the road's first point.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plotting/damper_curve.h"

namespace quorin::analysis {

inline constexpr double kGravity = 9.80665;  // m/s^2

struct QuarterCar {
  double sprung_mass_kg = 250;
  double unsprung_mass_kg = 40;
  double wheel_rate_n_per_mm = 30;
  double tyre_rate_n_per_mm = 250;
};
// Throws RuntimeError naming the first value that is not a finite number above 0.
void check_quarter_car(const QuarterCar& car);
// (m_s + m_u) g, N.
double static_tyre_load_n(const QuarterCar& car);

// A damper's force at the wheel (N, compression positive) against its compression velocity
// (m/s): the compression curve at v >= 0, the rebound curve at -v below 0, straight between
// stored points and along the end segments' slopes beyond them. Where a curve doubles back in
// velocity, the force at a velocity is read where the curve first crosses it in stored order.
// Stored points that the straight pieces through their neighbours pass within this force (N) of
// are left out, so a curve stored at every newton is read quickly.
inline constexpr double kDamperLawTolerance = 0.02;

class DamperLaw {
 public:
  // From a stored curve's base rows, at the wheel in SI whatever units it was drawn in.
  // Throws RuntimeError when a side has no finite point.
  static DamperLaw of_curve(const DamperCurve& curve, double tolerance_n = kDamperLawTolerance);
  // From wheel rows in SI: compression velocities >= 0 with forces >= 0, rebound velocities
  // >= 0 with forces <= 0, as the comparison window draws them. The law passes within
  // `tolerance_n` of every stored point (0: through every one).
  static DamperLaw of_rows(const std::vector<double>& compression_velocity,
                           const std::vector<double>& compression_force,
                           const std::vector<double>& rebound_velocity,
                           const std::vector<double>& rebound_force,
                           double tolerance_n = kDamperLawTolerance);
  // F = c v (a straight curve), c in N s/m from 0 up.
  static DamperLaw linear(double c);

  double force(double v) const;
  // The velocity v where v + beta F(v) = alpha (beta > 0), found from segment `cursor` on
  // (kept between calls); `force` receives F(v).
  double solve(double alpha, double beta, std::size_t& cursor, double& force) const;

  // Breakpoints in rising velocity with their forces (for tests and pictures).
  const std::vector<double>& velocities() const { return v_; }
  const std::vector<double>& forces() const { return f_; }

 private:
  void finish();
  std::vector<double> v_, f_;
  double tolerance_ = 0;
  // Segment i (0 .. n) is F = a_i + m_i v between v_{i-1} and v_i, with v_{-1} = -inf and
  // v_n = +inf.
  std::vector<double> a_, m_;
};

// A road profile: heights (m) at rising distances (m).
struct RoadProfile {
  std::vector<double> distance_m, height_m;
};

// ISO 8608 classes A to E: displacement PSD at n0 = 0.1 cycle/m, m^3, waviness 2.
inline constexpr std::array<double, 5> kRoadClassPsd = {16e-6, 64e-6, 256e-6, 1024e-6, 4096e-6};
inline constexpr double kRoadN0 = 0.1;  // cycle/m
// Throws RuntimeError unless `road_class` is one letter A to E.
double road_class_psd(std::string_view road_class);

// A road of the class over `length_m` (1 m to 200 km) from `seed`: a sum of cosines at every
// multiple of 1/length, with the class's amplitude and a random phase, sampled every 5 cm or
// closer. The same seed gives the same road. Throws RuntimeError for a bad class or length.
RoadProfile iso8608_road(std::string_view road_class, double length_m, std::uint64_t seed);

// Reads a road file: one point per line, distance (m) and height (m) separated by spaces, tabs,
// a comma or a semicolon; blank lines, lines starting with '#' and one heading line first are
// skipped. Throws RuntimeError naming the line for anything else, for distances that do not
// rise or numbers that are not finite, and for fewer than two points.
RoadProfile parse_road_profile(std::string_view text);
// The profile as such a file: a heading line and one "distance height" line per point.
std::string road_profile_text(const RoadProfile& road);

// The power spectral density of the road's height, averaged over bands that each span a
// doubling of spatial frequency, centred at 0.011 to 2.83 cycle/m, beside the class's, in dB
// re 1 m^3. The profile is read at even steps over its length.
struct PsdBand {
  double centre = 0, measured_db = 0, class_db = 0;
};
std::vector<PsdBand> road_psd_bands(const RoadProfile& road, std::string_view road_class);

// Damper-velocity bands of the histogram, mm/s: 0-25, 25-50, 50-100, 100-250, > 250.
inline constexpr std::array<double, 4> kVelocityBandEdgesMmps = {25, 50, 100, 250};
inline constexpr std::size_t kVelocityBands = 5;

struct RoadResult {
  double tyre_load_rms_n = 0;                                // RMS of F_t - static load
  double tyre_load_rms_percent = 0;                          // of the static load
  double off_road_percent = 0;                               // of the time with F_t = 0
  double body_accel_rms = 0;                                 // m/s^2
  double travel_rms_mm = 0, travel_max_mm = 0;               // |x|
  double velocity_rms_mmps = 0, velocity_max_mmps = 0;       // |v|
  std::array<double, kVelocityBands> compression_percent{};  // of the time, per band
  std::array<double, kVelocityBands> rebound_percent{};
};

// The finest time step the road, kerb and shaker runs take, s; tests pass a finer one.
inline constexpr double kRideStep = 2.0e-3;

// The car driven over `road` at `speed_kmh`. Throws RuntimeError for a speed that is not a
// number above 0 or a road with fewer than two points.
RoadResult ride_on_road(const QuarterCar& car, const DamperLaw& damper, const RoadProfile& road,
                        double speed_kmh, double max_step_s = kRideStep);

struct KerbCase {
  double height_mm = 50, length_mm = 200, plateau_mm = 500, speed_kmh = 60;
};
// Throws RuntimeError naming a value that is unusable.
void check_kerb(const KerbCase& kerb);
struct KerbResult {
  double lowest_tyre_load_n = 0;
  double largest_body_accel = 0;  // m/s^2, |z_s''|
  double largest_travel_mm = 0;   // |x|
  // From the wheel's reaching the kerb until the tyre load stays within 2 % of static;
  // NaN when it never does within the run.
  double settle_s = 0;
  // The tyre load against time, for the trace.
  std::vector<double> time_s, tyre_load_n;
  // Energy: the road's work on the tyre and the damper's dissipation over the run, and the
  // car's energy (kinetic and both springs') at its end, J.
  double road_work_j = 0, dissipated_j = 0, final_energy_j = 0;
};
// Up the ramp, along the plateau, down again, then 10 s on the flat.
KerbResult ride_over_kerb(const QuarterCar& car, const DamperLaw& damper, const KerbCase& kerb,
                          double max_step_s = kRideStep);

struct ShakerCase {
  double amplitude_mm = 5;
  double from_hz = 0.5, to_hz = 25;
  std::size_t frequencies = 40;  // log-spaced, at least 40
};
void check_shaker(const ShakerCase& shaker);
struct ShakerResult {
  std::vector<double> frequency_hz;
  // First-harmonic amplitudes at steady state: body over road, tyre-load variation over the
  // static load.
  std::vector<double> body, tyre_load;
  double body_resonance_hz = 0, wheel_resonance_hz = 0;
};
ShakerResult ride_on_shaker(const QuarterCar& car, const DamperLaw& damper,
                            const ShakerCase& shaker, double max_step_s = kRideStep);

}  // namespace quorin::analysis
