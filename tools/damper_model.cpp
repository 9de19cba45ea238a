#include "damper_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "services/runtime_error.h"

namespace quorin::datagen {
namespace {

constexpr double kPi = 3.141592653589793;
// Stack rate of one equivalent 0.10 mm face shim, N per mm of face lift.
constexpr double kShimRateNPerMm = 60.0;
// Pressure band over which a face shim or the poppet peels off its seat (Pa).
constexpr double kSeatingBandPa = 60000.0;

// Opening travel above a crack pressure: zero below, quadratic through the seating band, then
// linear; continuous in value and slope.
double seated_ramp(double over_pa) {
  if (over_pa <= 0) return 0;
  if (over_pa < kSeatingBandPa) return over_pa * over_pa / (2 * kSeatingBandPa);
  return over_pa - kSeatingBandPa / 2;
}

// Two orifices in series act as one of area 1 / sqrt(1/a^2 + 1/b^2).
double series_area(double a, double b) {
  if (a <= 0 || b <= 0) return 0;
  return 1.0 / std::sqrt(1.0 / (a * a) + 1.0 / (b * b));
}

std::string thickness_text(double t) {
  // ".15", ".20", ".10": hundredths of a millimetre without the leading zero
  const int hundredths = static_cast<int>(std::lround(t * 100));
  char buf[8];
  std::snprintf(buf, sizeof buf, ".%02d", hundredths);
  return buf;
}

double round_to(double x, double per_unit) { return std::round(x * per_unit) / per_unit; }

}  // namespace

std::string Valve::stack_text() const {
  std::string s;
  for (const Shim& sh : stack) {
    if (!s.empty()) s += ' ';
    if (sh.count > 1) s += std::to_string(sh.count) + "x";
    s += std::to_string(static_cast<int>(std::lround(sh.diameter_mm))) + "x" +
         thickness_text(sh.thickness_mm);
  }
  return s;
}

std::string Valve::option_text() const { return name + " " + stack_text(); }

double Valve::stiffness_index() const {
  const double face = stack.front().diameter_mm;
  double s = 0;
  for (const Shim& sh : stack) {
    const double t = sh.thickness_mm / 0.1;
    s += sh.count * t * t * t * (sh.diameter_mm - clamp_diameter_mm) / (face - clamp_diameter_mm);
  }
  return s;
}

double Valve::stack_rate_n_per_mm() const { return kShimRateNPerMm * stiffness_index(); }

double Valve::crack_pressure_pa() const {
  // preload force (N) over the face area (mm^2) gives MPa
  return stack_rate_n_per_mm() * dish_mm / face_area_mm2 * 1e6;
}

double bleed_area_mm2(double clicks) {
  const double s = clicks / kBleedClicks;
  return 0.06 + 4.2 * s * (1 + s) / 2;
}

double orifice_flow(double cd, double area_m2, double pressure_pa) {
  if (pressure_pa <= 0 || area_m2 <= 0) return 0;
  return cd * area_m2 * std::sqrt(2.0 / kOilDensity) * pressure_pa /
         std::sqrt(pressure_pa + kLaminarPressurePa);
}

double Damper::poppet_crack_pressure_pa() const {
  if (!spring) return INFINITY;
  const double poppet_area = kPi * kPoppetDiameterMm * kPoppetDiameterMm / 4;
  const double preload_n =
      spring->rate_n_per_mm * (kPoppetFreePreloadMm + adjuster_clicks * kPoppetPitchMm);
  return preload_n / poppet_area * 1e6;
}

double Damper::flow_start_pressure_pa() const {
  double p = poppet_crack_pressure_pa();
  if (valve) p = std::min(p, valve->crack_pressure_pa());
  return p;
}

double Damper::flow_m3s(double p) const {
  double q = orifice_flow(kCdBleed, bleed_area_mm2(bleed_clicks) * 1e-6, p);
  if (valve) {
    const double lift_mm =
        valve->face_area_mm2 * seated_ramp(p - valve->crack_pressure_pa()) * 1e-6 /
        valve->stack_rate_n_per_mm();
    const double curtain = kPi * valve->seat_diameter_mm * lift_mm;
    q += orifice_flow(kCdShim, series_area(curtain, valve->port_area_mm2) * 1e-6, p);
  }
  if (spring) {
    const double poppet_area = kPi * kPoppetDiameterMm * kPoppetDiameterMm / 4;
    const double lift_mm =
        poppet_area * seated_ramp(p - poppet_crack_pressure_pa()) * 1e-6 / spring->rate_n_per_mm;
    const double curtain = kPi * kPoppetDiameterMm * lift_mm;
    q += orifice_flow(kCdHighSpeed, series_area(curtain, kPoppetPortAreaMm2) * 1e-6, p);
  }
  return q;
}

double Damper::velocity_mps(double force_n) const {
  return flow_m3s(force_n / kAnnulusM2) / kAnnulusM2;
}

double Damper::force_n(double v) const {
  double lo = 0, hi = 100;
  while (velocity_mps(hi) < v) {
    lo = hi;
    hi *= 2;
    if (hi > 1e7) throw RuntimeError("damper model: no force reaches " + std::to_string(v) + " m/s");
  }
  for (int i = 0; i < 200 && hi - lo > 1e-9 * hi; ++i) {
    const double mid = (lo + hi) / 2;
    (velocity_mps(mid) < v ? lo : hi) = mid;
  }
  return (lo + hi) / 2;
}

std::uint64_t Noise::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Noise::uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

double Noise::bell() { return (uniform() + uniform() + uniform() + uniform() - 2) / 2; }

Measurement measure(const Damper& d, int points, double top_mps, bool low_speed_dense,
                    std::uint64_t seed) {
  Measurement m;
  std::vector<double> exact;
  for (int i = 1; i <= points; ++i) {
    const double x = static_cast<double>(i) / points;
    const double v = round_to(top_mps * (low_speed_dense ? x * std::sqrt(x) : x), 1e5);
    if (!m.velocity.empty() && v <= m.velocity.back())
      throw RuntimeError("damper model: sweep velocities do not ascend");
    m.velocity.push_back(v);
    exact.push_back(d.force_n(v));
  }
  // Load-cell noise: 0.15 % of the force plus 0.5 N, but never more than a fifth of the step
  // to the neighbouring points, as a dyno that averages several cycles at each speed.
  Noise noise(seed);
  for (std::size_t i = 0; i < exact.size(); ++i) {
    double gap = exact[i] - (i ? exact[i - 1] : 0.0);
    if (i + 1 < exact.size()) gap = std::min(gap, exact[i + 1] - exact[i]);
    const double amplitude = std::min(0.0015 * exact[i] + 0.5, 0.2 * gap);
    double f = round_to(exact[i] + amplitude * noise.bell(), 10);
    if (f <= 0) f = 0.1;
    if (!m.force.empty() && f <= m.force.back()) f = round_to(m.force.back() + 0.1, 10);
    m.force.push_back(f);
  }
  return m;
}

}  // namespace quorin::datagen
