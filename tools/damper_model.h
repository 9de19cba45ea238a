// The physical damper model behind the supplied valving and bleed tables: orifice flows of the
// bleed needle, the shim stack and the high-speed adjuster added at equal pressure, and the
// dyno measurement that samples it (docs/damper-model.md states every number).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorin::datagen {

// Reference damper: 40 mm piston, 12 mm shaft; every table is measured on this annulus.
inline constexpr double kAnnulusMm2 = 1143.5397259066847;
inline constexpr double kAnnulusM2 = kAnnulusMm2 * 1e-6;
inline constexpr double kOilDensity = 850.0;          // kg/m^3, damper oil at 40 degrees C
inline constexpr double kLaminarPressurePa = 30000.0;  // below this, orifice flow is laminar
inline constexpr double kCdBleed = 0.70;
inline constexpr double kCdShim = 0.62;
inline constexpr double kCdHighSpeed = 0.65;
inline constexpr int kBleedClicks = 20;      // low-speed clicks 0..20 out from closed
inline constexpr int kReferenceBleedClicks = 10;  // the bleed the valving tables were measured with

// One group of equal shims in a stack: count x diameter x thickness.
struct Shim {
  int count;
  double diameter_mm;
  double thickness_mm;
};

// A valve body with its shim stack. The face shim comes first.
struct Valve {
  std::string name;  // exactly 7 characters
  double port_area_mm2;
  double face_area_mm2;   // area the pressure acts on under the face shim
  double seat_diameter_mm;
  double clamp_diameter_mm;
  double dish_mm;  // preload of the face shim onto the seat land
  std::vector<Shim> stack;

  // "3x22x.15 20x.15 18x.20": the stack as tuners write it.
  std::string stack_text() const;
  // "CV-2210 3x22x.15 20x.15 ..." : the option-list row.
  std::string option_text() const;
  // Stiffness in equivalent 0.10 mm face shims: sum of count (t / 0.1)^3 (d - clamp) / (D - clamp).
  double stiffness_index() const;
  double stack_rate_n_per_mm() const;
  double crack_pressure_pa() const;
};

// The high-speed adjuster: a spring-loaded poppet in parallel with the shim stack.
struct HighSpeedSpring {
  std::string label;  // option-list row
  double rate_n_per_mm;
};
inline constexpr double kPoppetDiameterMm = 9.0;
inline constexpr double kPoppetPortAreaMm2 = 8.0;
inline constexpr double kPoppetFreePreloadMm = 1.3;  // spring compression at adjuster position 0
inline constexpr double kPoppetPitchMm = 0.05;       // extra compression per click

// Needle area of the low-speed bleed at `clicks` out from closed (0..20); a small leak remains
// when closed.
double bleed_area_mm2(double clicks);

// One damper configuration as it stands on the dyno.
struct Damper {
  const Valve* valve = nullptr;           // nullptr: shim stack blocked
  const HighSpeedSpring* spring = nullptr;  // nullptr: high-speed adjuster blocked
  double adjuster_clicks = 0;             // high-speed preload position
  double bleed_clicks = kReferenceBleedClicks;

  double poppet_crack_pressure_pa() const;
  // Pressure at which any path other than the bleed first passes oil.
  double flow_start_pressure_pa() const;
  // Total flow (m^3/s) at pressure p (Pa): bleed + shim stack + poppet.
  double flow_m3s(double pressure_pa) const;
  // Shaft velocity (m/s) at shaft force (N): v(F) = Q(F / A) / A.
  double velocity_mps(double force_n) const;
  // The force at a velocity: v(F) inverted by bisection (v is strictly increasing in F).
  double force_n(double velocity_mps) const;
};

// Flow (m^3/s) through an orifice of area a (m^2) at pressure p: Cd a sqrt(2/rho) p/sqrt(p+p_t),
// the square-root law above the laminar pressure, linear below it.
double orifice_flow(double cd, double area_m2, double pressure_pa);

// One dyno run: velocities (m/s, ascending) and forces (N, strictly increasing).
struct Measurement {
  std::vector<double> velocity;
  std::vector<double> force;
};

// A velocity sweep of `points` points up to `top_mps`, spaced closer at low speed when
// `low_speed_dense` (v_i = top (i/n)^1.5) or evenly otherwise; forces from the model plus a
// small noise drawn from `seed`, rounded to 0.00001 m/s and 0.1 N, strictly increasing.
Measurement measure(const Damper& d, int points, double top_mps, bool low_speed_dense,
                    std::uint64_t seed);

// A deterministic stream of uniform numbers in [0, 1) (splitmix64).
class Noise {
 public:
  explicit Noise(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  double uniform();
  double bell();  // sum of four uniforms, centred and scaled to (-1, 1)

 private:
  std::uint64_t state_;
};

}  // namespace quorin::datagen
