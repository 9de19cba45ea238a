#include "analysis/ride.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <random>

#include "analysis/curve_points.h"
#include "plotting/plotfunction.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::analysis {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPerMm = 1e-3;               // mm to m
constexpr double kNPerMmToNPerM = 1000;       // N/mm to N/m
constexpr double kRoadSpacing = 0.05;         // m, the generated road's widest step
constexpr double kLongestRoad = 200'000;      // m
constexpr double kSettleBand = 0.02;          // of the static tyre load
constexpr double kRunAfterKerb = 10;          // s after the kerb
constexpr std::size_t kTracePoints = 4000;    // kerb trace, at most
constexpr std::size_t kStepsPerPeriod = 128;  // shaker, at least
constexpr double kShakerWindow = 0.5;         // s: amplitudes compared this far apart
constexpr double kShakerTolerance = 1e-4;     // relative change that counts as steady
constexpr double kLongestShakerRun = 60;      // s per frequency
constexpr double kLongestDrive = 3600;        // s of driving on a road or over a kerb
constexpr double kLowestShakerHz = 0.05;

void require_positive(double v, std::string_view what) {
  if (!(v > 0) || !std::isfinite(v))
    throw RuntimeError("The " + std::string(what) + " must be a number above 0, not " + num2str(v) +
                       ".");
}

// One side of a curve as a function of velocity from 0 up: the force where the curve first
// crosses each of its stored velocities (in stored order), kept from falling.
void side_nodes(const std::vector<double>& velocity, const std::vector<double>& force, double sign,
                std::vector<std::pair<double, double>>& out, std::string_view side) {
  std::vector<std::pair<double, double>> pts;
  const std::size_t n = std::min(velocity.size(), force.size());
  for (std::size_t k = 0; k < n; ++k)
    if (std::isfinite(velocity[k]) && std::isfinite(force[k]))
      pts.emplace_back(velocity[k], sign * force[k]);  // force as a magnitude
  if (pts.empty())
    throw RuntimeError("The damper curve's " + std::string(side) + " side has no point.");
  // The stored velocities in rising order; each read off the first segment that spans it.
  std::vector<double> at;
  for (const auto& p : pts)
    if (p.first >= 0) at.push_back(p.first);
  std::sort(at.begin(), at.end());
  at.erase(std::unique(at.begin(), at.end()), at.end());
  std::vector<double> value(at.size(), kNaN);
  // next[i]: the first node from i on still without a value (skips filled runs).
  std::vector<std::size_t> next(at.size() + 1);
  for (std::size_t i = 0; i <= at.size(); ++i) next[i] = i;
  auto find = [&](std::size_t i) {
    std::size_t r = i;
    while (next[r] != r) r = next[r];
    while (next[i] != r) {
      const std::size_t up = next[i];
      next[i] = r;
      i = up;
    }
    return r;
  };
  auto fill = [&](double lo, double hi, auto&& force_at) {
    auto i = static_cast<std::size_t>(std::lower_bound(at.begin(), at.end(), lo) - at.begin());
    for (i = find(i); i < at.size() && at[i] <= hi; i = find(i)) {
      value[i] = force_at(at[i]);
      next[i] = i + 1;
    }
  };
  if (pts.size() == 1) fill(pts[0].first, pts[0].first, [&](double) { return pts[0].second; });
  for (std::size_t k = 0; k + 1 < pts.size(); ++k) {
    // Plain copies, not structured bindings: a lambda may not capture those in every compiler.
    const double v0 = pts[k].first, f0 = pts[k].second;
    const double v1 = pts[k + 1].first, f1 = pts[k + 1].second;
    fill(std::min(v0, v1), std::max(v0, v1), [&](double v) {
      if (v == v0) return f0;
      if (v == v1) return f1;
      // f(v) = f0 + (f1 - f0) (v - v0) / (v1 - v0)
      return f0 + (f1 - f0) * (v - v0) / (v1 - v0);
    });
  }
  // Below the curve's first velocity the force falls straight to 0 at rest.
  if (at.empty() || at.front() > 0) {
    at.insert(at.begin(), 0.0);
    value.insert(value.begin(), 0.0);
  }
  double highest = -kInf;
  for (std::size_t i = 0; i < at.size(); ++i) {
    highest = std::max(highest, value[i]);
    out.emplace_back(sign < 0 ? -at[i] : at[i], sign * highest);
  }
}

}  // namespace

void check_quarter_car(const QuarterCar& car) {
  require_positive(car.sprung_mass_kg, "sprung mass (kg)");
  require_positive(car.unsprung_mass_kg, "unsprung mass (kg)");
  require_positive(car.wheel_rate_n_per_mm, "wheel rate (N/mm)");
  require_positive(car.tyre_rate_n_per_mm, "tyre rate (N/mm)");
}

double static_tyre_load_n(const QuarterCar& car) {
  return (car.sprung_mass_kg + car.unsprung_mass_kg) * kGravity;
}

DamperLaw DamperLaw::of_curve(const DamperCurve& curve, double tolerance_n) {
  const WheelCurves w = wheel_curves(curve, kSIFactors);
  return of_rows(w.compression_velocity, w.compression_force, w.rebound_velocity, w.rebound_force,
                 tolerance_n);
}

DamperLaw DamperLaw::of_rows(const std::vector<double>& compression_velocity,
                             const std::vector<double>& compression_force,
                             const std::vector<double>& rebound_velocity,
                             const std::vector<double>& rebound_force, double tolerance_n) {
  std::vector<std::pair<double, double>> comp, reb;
  side_nodes(compression_velocity, compression_force, 1, comp, "compression");
  side_nodes(rebound_velocity, rebound_force, -1, reb, "rebound");
  DamperLaw d;
  d.tolerance_ = tolerance_n;
  // Rebound from its fastest point up to rest, then compression; one point at rest.
  for (auto it = reb.rbegin(); it != reb.rend(); ++it) {
    d.v_.push_back(it->first);
    d.f_.push_back(it->second);
  }
  for (const auto& [v, f] : comp) {
    if (v == 0 && !d.v_.empty() && d.v_.back() == 0) {
      d.f_.back() = 0.5 * (d.f_.back() + f);
      continue;
    }
    d.v_.push_back(v);
    d.f_.push_back(f);
  }
  d.finish();
  return d;
}

DamperLaw DamperLaw::linear(double c) {
  if (!(c >= 0) || !std::isfinite(c))
    throw RuntimeError("A straight damper's rate must be a number from 0 up, not " + num2str(c) +
                       ".");
  DamperLaw d;
  d.v_ = {-1, 0, 1};
  d.f_ = {-c, 0, c};
  d.finish();
  return d;
}

void DamperLaw::finish() {
  // Points a straight line through their neighbours passes within kLawTolerance of are left
  // out: a curve stored at every newton becomes a few dozen straight pieces that stay within
  // that force of every stored point. The line from an anchor point may go on to point j while
  // some slope from the anchor passes within the tolerance of every point before j.
  const std::size_t stored = v_.size();
  // the end segments' slopes as stored, for beyond the ends
  const double first_slope = stored > 1 ? (f_[1] - f_[0]) / (v_[1] - v_[0]) : 0;
  const double last_slope =
      stored > 1 ? (f_[stored - 1] - f_[stored - 2]) / (v_[stored - 1] - v_[stored - 2]) : 0;
  if (v_.size() > 2 && tolerance_ > 0) {
    std::vector<double> v = {v_[0]}, f = {f_[0]};
    std::size_t anchor = 0;
    double lo = -kInf, hi = kInf;
    for (std::size_t j = 1; j < v_.size(); ++j) {
      const double dv = v_[j] - v_[anchor];
      const double slope = (f_[j] - f_[anchor]) / dv;
      if (j > anchor + 1 && (slope < lo || slope > hi)) {
        // the line cannot reach j: it ends at the point before
        anchor = j - 1;
        v.push_back(v_[anchor]);
        f.push_back(f_[anchor]);
        lo = -kInf;
        hi = kInf;
        const double dv2 = v_[j] - v_[anchor];
        lo = std::max(lo, (f_[j] - tolerance_ - f_[anchor]) / dv2);
        hi = std::min(hi, (f_[j] + tolerance_ - f_[anchor]) / dv2);
        continue;
      }
      lo = std::max(lo, (f_[j] - tolerance_ - f_[anchor]) / dv);
      hi = std::min(hi, (f_[j] + tolerance_ - f_[anchor]) / dv);
    }
    if (v.back() != v_.back()) {
      v.push_back(v_.back());
      f.push_back(f_.back());
    }
    v_ = std::move(v);
    f_ = std::move(f);
  }
  const std::size_t n = v_.size();
  a_.assign(n + 1, 0);
  m_.assign(n + 1, 0);
  for (std::size_t i = 1; i < n; ++i) {
    // F = f_{i-1} + m (v - v_{i-1}) = a + m v
    const double m = (f_[i] - f_[i - 1]) / (v_[i] - v_[i - 1]);
    m_[i] = m;
    a_[i] = f_[i - 1] - m * v_[i - 1];
  }
  // Beyond the ends along the end segments' slopes (flat when a side has one point).
  m_[0] = first_slope;
  a_[0] = f_[0] - m_[0] * v_[0];
  m_[n] = last_slope;
  a_[n] = f_[n - 1] - m_[n] * v_[n - 1];
}

double DamperLaw::force(double v) const {
  const auto i = static_cast<std::size_t>(std::upper_bound(v_.begin(), v_.end(), v) - v_.begin());
  return a_[i] + m_[i] * v;
}

double DamperLaw::solve(double alpha, double beta, std::size_t& cursor, double& force) const {
  const std::size_t n = v_.size();
  // h(v) = v + beta F(v) - alpha never falls, so at the stored points h_k = v_k + beta f_k -
  // alpha rises with k and the root lies on segment k, k the first point with h_k > 0 (n when
  // none). Found by galloping from the last segment found, then halving.
  auto above = [&](std::size_t k) { return v_[k] + beta * f_[k] - alpha > 0; };
  std::size_t lo, hi;  // the answer lies in lo .. hi, above(hi) or hi == n
  const std::size_t start = std::min(cursor, n - 1);  // a law has at least one point
  if (above(start)) {
    // leftwards: the first point that is not above bounds it
    hi = start;
    lo = 0;
    for (std::size_t step = 1; hi >= step; step *= 2) {
      const std::size_t k = hi - step;
      if (!above(k)) {
        lo = k + 1;
        break;
      }
      hi = k;
    }
  } else {
    // every point up to `start` is not above
    lo = start + 1;
    hi = n;
    for (std::size_t step = 1; lo < n; step *= 2) {
      const std::size_t k = std::min(lo + step - 1, n - 1);
      if (above(k)) {
        hi = k;
        break;
      }
      lo = k + 1;
    }
  }
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (above(mid))
      hi = mid;
    else
      lo = mid + 1;
  }
  const std::size_t i = lo;
  const double v = (alpha - beta * a_[i]) / (1 + beta * m_[i]);
  cursor = i;
  force = a_[i] + m_[i] * v;
  return v;
}

namespace {

// The quarter car stepped by a two-stage, L-stable, second-order diagonally implicit
// Runge-Kutta method. Each stage is solved exactly: with the damper on one straight segment
// and the tyre on or off the road the stage equations are linear, so the segment and the
// tyre's state are found by walking to the one that agrees with its own solution.
class QuarterCarRun {
 public:
  QuarterCarRun(const QuarterCar& car, const DamperLaw& damper)
      : ms_(car.sprung_mass_kg),
        mu_(car.unsprung_mass_kg),
        k_(car.wheel_rate_n_per_mm * kNPerMmToNPerM),
        kt_(car.tyre_rate_n_per_mm * kNPerMmToNPerM),
        w_(static_tyre_load_n(car)),
        d_(damper) {
    check_quarter_car(car);
    cursor_ = static_cast<std::size_t>(
        std::upper_bound(d_.velocities().begin(), d_.velocities().end(), 0.0) -
        d_.velocities().begin());
  }

  // Positions from static equilibrium on a road at height zr, at rest.
  void rest_on(double zr) {
    zs_ = zu_ = zr;
    vs_ = vu_ = 0;
    contact_ = true;
    force_ = 0;
    ft_ = w_;
  }

  // One step of h with the road at zr_mid at t + gamma h and zr_end at t + h.
  void step(double h, double zr_mid, double zr_end) {
    constexpr double g = 1 - std::numbers::sqrt2 / 2;
    const double s = g * h;
    const Stage a = stage(zs_, zu_, vs_, vu_, s, zr_mid);
    const double b = h * (1 - g);
    const Stage e =
        stage(zs_ + b * a.vs, zu_ + b * a.vu, vs_ + b * a.as, vu_ + b * a.au, s, zr_end);
    zs_ = e.zs;
    zu_ = e.zu;
    vs_ = e.vs;
    vu_ = e.vu;
    force_ = e.force;
    ft_ = e.ft;
    as_ = e.as;
  }

  double travel() const { return zu_ - zs_; }
  double velocity() const { return vu_ - vs_; }
  double tyre_load() const { return ft_; }
  double body_accel() const { return as_; }
  double damper_force() const { return force_; }
  double body() const { return zs_; }
  double static_load() const { return w_; }
  // Kinetic energy and the two springs' energy about static equilibrium (tyre on the road).
  double energy(double zr) const {
    const double x = zu_ - zs_, d = zr - zu_;
    return 0.5 * ms_ * vs_ * vs_ + 0.5 * mu_ * vu_ * vu_ + 0.5 * k_ * x * x + 0.5 * kt_ * d * d;
  }

 private:
  struct Stage {
    double zs, zu, vs, vu, as, au, force, ft;
  };
  // The stage Y = P + s Y' with positions P, velocities Q known: velocities V solve
  // m_s (V_s - Q_s) = s G,  m_u (V_u - Q_u) = s (-G + F_t - W),  G = k_s x + F_d(v)
  // with x = (P_u - P_s) + s v and v = V_u - V_s.
  Stage stage(double ps, double pu, double qs, double qu, double s, double zr) {
    Stage out = solve(ps, pu, qs, qu, s, zr, contact_);
    const double load = w_ + kt_ * (zr - out.zu);
    if (contact_ ? load < 0 : load > 0) {
      Stage other = solve(ps, pu, qs, qu, s, zr, !contact_);
      const double other_load = w_ + kt_ * (zr - other.zu);
      if (contact_ ? other_load <= 0 : other_load >= 0) {
        contact_ = !contact_;
        out = other;
      }
    }
    return out;
  }

  // What a stage's equations hold constant for one stage length s, on and off the road.
  struct Factors {
    double s = -1;
    double inv_den = 0, b = 0, inv_scale = 0;  // on the road: 1 / den, b, 1 / (1 + b k s)
    double b_off = 0, inv_scale_off = 0;       // off the road
  };
  void factors_for(double s) {
    // Stretches of an evenly sampled road differ in their last bits only: the factors of one
    // serve the next.
    if (std::abs(s - f_.s) <= 1e-12 * s) return;
    f_.s = s;
    f_.inv_den = 1 / (mu_ + s * s * kt_);
    f_.b = s * f_.inv_den + s / ms_;
    f_.inv_scale = 1 / (1 + f_.b * k_ * s);
    f_.b_off = s / mu_ + s / ms_;
    f_.inv_scale_off = 1 / (1 + f_.b_off * k_ * s);
  }

  Stage solve(double ps, double pu, double qs, double qu, double s, double zr, bool contact) {
    factors_for(s);
    const double x0 = pu - ps;
    double a0, b, inv_scale;
    // with the tyre on the road: den = m_u + s^2 k_t
    const double lead = contact ? (mu_ * qu + s * kt_ * (zr - pu)) * f_.inv_den : 0;
    if (contact) {
      a0 = lead - qs;
      b = f_.b;
      inv_scale = f_.inv_scale;
    } else {
      a0 = qu - s * w_ * inv_mu_ - qs;
      b = f_.b_off;
      inv_scale = f_.inv_scale_off;
    }
    // v = a0 - b G  =>  v + beta F(v) = alpha
    double f = 0;
    const double v = d_.solve((a0 - b * k_ * x0) * inv_scale, b * inv_scale, cursor_, f);
    const double g = k_ * (x0 + s * v) + f;
    Stage out{};
    out.vs = qs + s * inv_ms_ * g;
    out.vu = contact ? lead - s * g * f_.inv_den : qu - s * inv_mu_ * (g + w_);
    out.zs = ps + s * out.vs;
    out.zu = pu + s * out.vu;
    out.force = f;
    out.ft = contact ? w_ + kt_ * (zr - out.zu) : 0;
    out.as = g * inv_ms_;
    out.au = (-g + out.ft - w_) * inv_mu_;
    return out;
  }

  double ms_, mu_, k_, kt_, w_;
  double inv_ms_ = 1 / ms_, inv_mu_ = 1 / mu_;
  const DamperLaw& d_;
  std::size_t cursor_ = 0;
  bool contact_ = true;
  double zs_ = 0, zu_ = 0, vs_ = 0, vu_ = 0;
  double force_ = 0, ft_ = 0, as_ = 0;
  Factors f_;
};

std::size_t band_of(double speed_mmps) {
  std::size_t b = 0;
  while (b < kVelocityBandEdgesMmps.size() && speed_mmps >= kVelocityBandEdgesMmps[b]) ++b;
  return b;
}

// Time-weighted sums over a run.
struct RunSums {
  double time = 0, load2 = 0, off = 0, accel2 = 0, travel2 = 0, travel_max = 0, vel2 = 0,
         vel_max = 0;
  std::array<double, kVelocityBands> comp{}, reb{};
  void add(const QuarterCarRun& car, double h) {
    const double dl = car.tyre_load() - car.static_load();
    const double x = car.travel(), v = car.velocity(), a = car.body_accel();
    time += h;
    load2 += h * dl * dl;
    if (car.tyre_load() <= 0) off += h;
    accel2 += h * a * a;
    travel2 += h * x * x;
    travel_max = std::max(travel_max, std::abs(x));
    vel2 += h * v * v;
    vel_max = std::max(vel_max, std::abs(v));
    (v >= 0 ? comp : reb)[band_of(std::abs(v) * (1 / kPerMm))] += h;
  }
};

// z(t) along a profile driven at `speed` m/s; walks forward from the last interval asked.
class ProfileReader {
 public:
  ProfileReader(const RoadProfile& road, double speed) : r_(road), speed_(speed) {}
  double at(double t) {
    const double d = r_.distance_m.front() + t * speed_;
    const std::size_t n = r_.distance_m.size();
    while (k_ + 2 < n && d > r_.distance_m[k_ + 1]) ++k_;
    const double d0 = r_.distance_m[k_], d1 = r_.distance_m[k_ + 1];
    const double z0 = r_.height_m[k_], z1 = r_.height_m[k_ + 1];
    return z0 + (z1 - z0) * (d - d0) / (d1 - d0);
  }

 private:
  const RoadProfile& r_;
  double speed_;
  std::size_t k_ = 0;
};

void check_profile(const RoadProfile& road) {
  const std::size_t n = road.distance_m.size();
  if (n < 2 || road.height_m.size() != n)
    throw RuntimeError("A road needs at least two points of distance and height.");
  for (std::size_t k = 0; k < n; ++k) {
    if (!std::isfinite(road.distance_m[k]) || !std::isfinite(road.height_m[k]))
      throw RuntimeError("Point " + std::to_string(k + 1) + " of the road is not a number.");
    if (k > 0 && !(road.distance_m[k] > road.distance_m[k - 1]))
      throw RuntimeError("The road's distances must rise; point " + std::to_string(k + 1) +
                         " does not.");
  }
}

// Drives the car along a profile from its first point to its last, stepping each stretch
// between two points in equal steps no longer than max_step_s; `each` sees the car after
// every step with the step's length and the road's height and slope in time.
template <class Each>
void drive(QuarterCarRun& car, const RoadProfile& road, double speed, double max_step_s,
           Each&& each) {
  car.rest_on(road.height_m.front());
  constexpr double g = 1 - std::numbers::sqrt2 / 2;
  const double per_speed = 1 / speed;
  for (std::size_t k = 0; k + 1 < road.distance_m.size(); ++k) {
    const double dt = (road.distance_m[k + 1] - road.distance_m[k]) * per_speed;
    const double z0 = road.height_m[k], dz = road.height_m[k + 1] - z0;
    const double rate = dz / dt;
    if (dt <= max_step_s) {
      // one step over the whole stretch, the usual case
      car.step(dt, z0 + dz * g, z0 + dz);
      each(dt, z0 + dz, rate);
      continue;
    }
    const auto steps = static_cast<std::size_t>(std::ceil(dt / max_step_s));
    const double per_step = 1 / static_cast<double>(steps);
    const double h = dt * per_step;
    for (std::size_t j = 0; j < steps; ++j) {
      const double u0 = static_cast<double>(j) * per_step;
      const double u1 = j + 1 == steps ? 1.0 : static_cast<double>(j + 1) * per_step;
      const double um = u0 + g * (u1 - u0);
      car.step(h, z0 + dz * um, z0 + dz * u1);
      each(h, z0 + dz * u1, rate);
    }
  }
}

void require_step(double max_step_s) {
  if (!(max_step_s > 0) || !(max_step_s <= 0.01))
    throw RuntimeError("The time step must be above 0 and at most 10 ms.");
}

// In place, n a power of two; sign -1 forward, +1 backward (unscaled).
void fft(std::vector<std::complex<double>>& a, int sign) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    const double angle = sign * 2 * std::numbers::pi / static_cast<double>(len);
    const std::complex<double> wl(std::cos(angle), std::sin(angle));
    for (std::size_t i = 0; i < n; i += len) {
      std::complex<double> w(1);
      for (std::size_t j = 0; j < len / 2; ++j) {
        const std::complex<double> u = a[i + j], v = a[i + j + len / 2] * w;
        a[i + j] = u + v;
        a[i + j + len / 2] = u - v;
        w *= wl;
      }
    }
  }
}

// G_d(n) = G_d(n0) (n / n0)^-2
double class_psd_at(double gd, double n) {
  return gd * (kRoadN0 / n) * (kRoadN0 / n);
}

}  // namespace

double road_class_psd(std::string_view road_class) {
  if (road_class.size() == 1) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(road_class[0])));
    if (c >= 'A' && c <= 'E') return kRoadClassPsd[static_cast<std::size_t>(c - 'A')];
  }
  throw RuntimeError("The road class \"" + std::string(road_class) + "\" is not A, B, C, D or E.");
}

RoadProfile iso8608_road(std::string_view road_class, double length_m, std::uint64_t seed) {
  const double gd = road_class_psd(road_class);
  if (!(length_m >= 1) || !(length_m <= kLongestRoad))
    throw RuntimeError("The road's length must be a number of metres from 1 to 200000, not " +
                       num2str(length_m) + ".");
  const std::size_t n = std::bit_ceil(
      std::max<std::size_t>(16, static_cast<std::size_t>(std::ceil(length_m / kRoadSpacing))));
  const double dn = 1 / length_m;  // cycle/m between neighbouring cosines
  std::mt19937_64 random(seed);
  std::vector<std::complex<double>> spectrum(n);
  for (std::size_t k = 1; k < n / 2; ++k) {
    // a_k = sqrt(2 G_d(n_k) dn): the cosine's variance a_k^2 / 2 is the PSD over its band.
    const double amplitude = std::sqrt(2 * class_psd_at(gd, static_cast<double>(k) * dn) * dn);
    const double phase = 2 * std::numbers::pi * static_cast<double>(random() >> 11) * 0x1.0p-53;
    spectrum[k] = std::polar(amplitude / 2, phase);
    spectrum[n - k] = std::conj(spectrum[k]);
  }
  fft(spectrum, +1);
  RoadProfile road;
  road.distance_m.resize(n + 1);
  road.height_m.resize(n + 1);
  for (std::size_t j = 0; j <= n; ++j) {
    road.distance_m[j] = length_m * static_cast<double>(j) / static_cast<double>(n);
    road.height_m[j] = spectrum[j % n].real();
  }
  return road;
}

RoadProfile parse_road_profile(std::string_view text) {
  RoadProfile road;
  std::size_t line_number = 0;
  bool first = true;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(at, end - at));
    at = end + 1;
    ++line_number;
    for (char& c : line)
      if (c == ',' || c == ';' || c == '\t' || c == '\r') c = ' ';
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line[start] == '#') continue;
    // Two numbers and nothing else.
    std::vector<std::string> words;
    for (std::size_t p = start; p < line.size();) {
      const std::size_t q = std::min(line.find(' ', p), line.size());
      words.push_back(line.substr(p, q - p));
      p = line.find_first_not_of(' ', q);
      if (p == std::string::npos) break;
    }
    std::optional<double> d, h;
    if (words.size() == 2) {
      d = str2double(words[0]);
      h = str2double(words[1]);
    }
    const bool heading = first && (!d || !h);
    first = false;
    if (heading) continue;
    if (!d || !h)
      throw RuntimeError("Line " + std::to_string(line_number) +
                         " of the road file is not a distance and a height in metres.");
    if (!std::isfinite(*d) || !std::isfinite(*h))
      throw RuntimeError("Line " + std::to_string(line_number) +
                         " of the road file holds a number that is not finite.");
    if (!road.distance_m.empty() && !(*d > road.distance_m.back()))
      throw RuntimeError("The distances of the road file must rise; line " +
                         std::to_string(line_number) + " does not.");
    road.distance_m.push_back(*d);
    road.height_m.push_back(*h);
  }
  if (road.distance_m.size() < 2)
    throw RuntimeError("The road file holds fewer than two points of distance and height.");
  return road;
}

std::string road_profile_text(const RoadProfile& road) {
  std::string out = "distance_m height_m\n";
  for (std::size_t k = 0; k < road.distance_m.size() && k < road.height_m.size(); ++k)
    out += exact_number(road.distance_m[k]) + " " + exact_number(road.height_m[k]) + "\n";
  return out;
}

std::vector<PsdBand> road_psd_bands(const RoadProfile& road, std::string_view road_class) {
  const double gd = road_class_psd(road_class);
  check_profile(road);
  const double first = road.distance_m.front(), length = road.distance_m.back() - first;
  const std::size_t n = std::bit_ceil(
      std::max<std::size_t>(16, static_cast<std::size_t>(std::ceil(length / kRoadSpacing))));
  std::vector<std::complex<double>> z(n);
  RoadProfile shifted = road;
  for (double& d : shifted.distance_m) d -= first;
  ProfileReader reader(shifted, 1);
  for (std::size_t j = 0; j < n; ++j)
    z[j] = reader.at(length * static_cast<double>(j) / static_cast<double>(n));
  fft(z, -1);
  const double dn = 1 / length;
  std::vector<PsdBand> out;
  // Frequency doublings from 2^-7 to 2^2 cycle/m, centred at 2^(m + 1/2): 0.011 ... 2.83.
  for (int m = -7; m <= 1; ++m) {
    const double lo = std::ldexp(1.0, m), hi = 2 * lo;
    double power = 0;  // variance in the band
    for (std::size_t k = 1; k < n / 2; ++k) {
      const double nk = static_cast<double>(k) * dn;
      if (nk >= lo && nk < hi) power += 2 * std::norm(z[k]) / (double(n) * double(n));
    }
    // the class's mean PSD over the band: G_d(n0) n0^2 (1/lo - 1/hi) / (hi - lo)
    const double expected = gd * kRoadN0 * kRoadN0 * (1 / lo - 1 / hi) / (hi - lo);
    out.push_back({std::ldexp(std::numbers::sqrt2, m), 10 * std::log10(power / (hi - lo)),
                   10 * std::log10(expected)});
  }
  return out;
}

RoadResult ride_on_road(const QuarterCar& car, const DamperLaw& damper, const RoadProfile& road,
                        double speed_kmh, double max_step_s) {
  require_positive(speed_kmh, "speed (km/h)");
  require_step(max_step_s);
  check_profile(road);
  const double drive_s = (road.distance_m.back() - road.distance_m.front()) / (speed_kmh / 3.6);
  if (!(drive_s <= kLongestDrive))
    throw RuntimeError("The road takes " + num2str(drive_s) + " s at " + num2str(speed_kmh) +
                       " km/h; a run may last an hour at most.");
  QuarterCarRun run(car, damper);
  RunSums sums;
  drive(run, road, speed_kmh / 3.6, max_step_s,
        [&](double h, double, double) { sums.add(run, h); });
  RoadResult r;
  const double t = sums.time;
  r.tyre_load_rms_n = std::sqrt(sums.load2 / t);
  r.tyre_load_rms_percent = 100 * r.tyre_load_rms_n / run.static_load();
  r.off_road_percent = 100 * sums.off / t;
  r.body_accel_rms = std::sqrt(sums.accel2 / t);
  r.travel_rms_mm = std::sqrt(sums.travel2 / t) / kPerMm;
  r.travel_max_mm = sums.travel_max / kPerMm;
  r.velocity_rms_mmps = std::sqrt(sums.vel2 / t) / kPerMm;
  r.velocity_max_mmps = sums.vel_max / kPerMm;
  for (std::size_t b = 0; b < kVelocityBands; ++b) {
    r.compression_percent[b] = 100 * sums.comp[b] / t;
    r.rebound_percent[b] = 100 * sums.reb[b] / t;
  }
  return r;
}

void check_kerb(const KerbCase& kerb) {
  if (!std::isfinite(kerb.height_mm) || kerb.height_mm == 0 || std::abs(kerb.height_mm) > 1000)
    throw RuntimeError(
        "The kerb's height must be a number of millimetres other than 0, up to "
        "1000 either way, not " +
        num2str(kerb.height_mm) + ".");
  require_positive(kerb.length_mm, "kerb's ramp length (mm)");
  if (!(kerb.plateau_mm >= 0) || !std::isfinite(kerb.plateau_mm))
    throw RuntimeError("The kerb's plateau must be a number of millimetres from 0 up, not " +
                       num2str(kerb.plateau_mm) + ".");
  require_positive(kerb.speed_kmh, "speed (km/h)");
  const double over_s = (2 * kerb.length_mm + kerb.plateau_mm) * kPerMm / (kerb.speed_kmh / 3.6);
  if (!(over_s <= kLongestDrive))
    throw RuntimeError("The kerb takes " + num2str(over_s) + " s to cross at " +
                       num2str(kerb.speed_kmh) + " km/h; a run may last an hour at most.");
}

KerbResult ride_over_kerb(const QuarterCar& car, const DamperLaw& damper, const KerbCase& kerb,
                          double max_step_s) {
  check_kerb(kerb);
  require_step(max_step_s);
  const double speed = kerb.speed_kmh / 3.6;
  const double h = kerb.height_mm * kPerMm, l = kerb.length_mm * kPerMm,
               p = kerb.plateau_mm * kPerMm;
  const double kerb_end = 2 * l + p;
  const double after = kRunAfterKerb * speed;
  RoadProfile road{{0, l, l + p, kerb_end, kerb_end + after}, {0, h, h, 0, 0}};
  if (p == 0) road = {{0, l, kerb_end, kerb_end + after}, {0, h, 0, 0}};
  QuarterCarRun run(car, damper);
  KerbResult r;
  r.lowest_tyre_load_n = run.static_load();
  const double w = run.static_load();
  double t = 0, last_out = 0, prev_work = 0, prev_diss = 0;
  bool first = true;
  std::vector<double> time, load;
  drive(run, road, speed, max_step_s, [&](double dt, double zr, double zr_rate) {
    t += dt;
    r.lowest_tyre_load_n = std::min(r.lowest_tyre_load_n, run.tyre_load());
    r.largest_body_accel = std::max(r.largest_body_accel, std::abs(run.body_accel()));
    r.largest_travel_mm = std::max(r.largest_travel_mm, std::abs(run.travel()) / kPerMm);
    if (std::abs(run.tyre_load() - w) > kSettleBand * w) last_out = t;
    // trapezoids of (F_t - W) z_r' and F_d v
    const double work = (run.tyre_load() - w) * zr_rate, diss = run.damper_force() * run.velocity();
    if (!first) {
      r.road_work_j += 0.5 * dt * (work + prev_work);
      r.dissipated_j += 0.5 * dt * (diss + prev_diss);
    } else {
      r.road_work_j += 0.5 * dt * work;
      r.dissipated_j += 0.5 * dt * diss;
    }
    first = false;
    prev_work = work;
    prev_diss = diss;
    time.push_back(t);
    load.push_back(run.tyre_load());
    (void)zr;
  });
  r.final_energy_j = run.energy(0);
  r.settle_s = last_out < t - 1 ? last_out : kNaN;
  const std::size_t every = std::max<std::size_t>(1, time.size() / kTracePoints + 1);
  for (std::size_t k = 0; k < time.size(); k += every) {
    r.time_s.push_back(time[k]);
    r.tyre_load_n.push_back(load[k]);
  }
  return r;
}

void check_shaker(const ShakerCase& shaker) {
  require_positive(shaker.amplitude_mm, "shaker's amplitude (mm)");
  require_positive(shaker.from_hz, "shaker's first frequency (Hz)");
  if (shaker.from_hz < kLowestShakerHz)
    throw RuntimeError("The shaker's first frequency must be at least 0.05 Hz.");
  if (!(shaker.to_hz > shaker.from_hz) || !std::isfinite(shaker.to_hz) || shaker.to_hz > 200)
    throw RuntimeError("The shaker's last frequency must be above its first and at most 200 Hz.");
  if (shaker.frequencies < 40 || shaker.frequencies > 400)
    throw RuntimeError("The shaker runs at 40 to 400 frequencies, not " +
                       std::to_string(shaker.frequencies) + ".");
}

namespace {

// The peak of y over log f near index i: a parabola through it and its neighbours.
double peak_frequency(const std::vector<double>& f, const std::vector<double>& y, std::size_t i) {
  if (i == 0 || i + 1 >= f.size()) return f[i];
  const double x0 = std::log(f[i - 1]), x1 = std::log(f[i]), x2 = std::log(f[i + 1]);
  const double y0 = y[i - 1], y1 = y[i], y2 = y[i + 1];
  const double d = (x0 - x1) * (x0 - x2) * (x1 - x2);
  const double a = (x2 * (y1 - y0) + x1 * (y0 - y2) + x0 * (y2 - y1)) / d;
  const double b = (x2 * x2 * (y0 - y1) + x1 * x1 * (y2 - y0) + x0 * x0 * (y1 - y2)) / d;
  if (!(a < 0)) return f[i];
  return std::exp(std::clamp(-b / (2 * a), x0, x2));
}

std::size_t largest_in(const std::vector<double>& f, const std::vector<double>& y, double lo,
                       double hi) {
  std::size_t best = f.size();
  for (std::size_t i = 0; i < f.size(); ++i)
    if (f[i] >= lo && f[i] <= hi && (best == f.size() || y[i] > y[best])) best = i;
  return best;
}

}  // namespace

ShakerResult ride_on_shaker(const QuarterCar& car, const DamperLaw& damper,
                            const ShakerCase& shaker, double max_step_s) {
  check_shaker(shaker);
  check_quarter_car(car);
  require_step(max_step_s);
  const double amplitude = shaker.amplitude_mm * kPerMm;
  ShakerResult r;
  QuarterCarRun run(car, damper);
  const double w = run.static_load();
  constexpr double g = 1 - std::numbers::sqrt2 / 2;
  const std::size_t count = shaker.frequencies;
  for (std::size_t i = 0; i < count; ++i) {
    const double f = shaker.from_hz * std::pow(shaker.to_hz / shaker.from_hz,
                                               static_cast<double>(i) / double(count - 1));
    const double period = 1 / f, omega = 2 * std::numbers::pi * f;
    const auto steps =
        std::max(kStepsPerPeriod, static_cast<std::size_t>(std::ceil(period / max_step_s)));
    const double h = period / static_cast<double>(steps);
    const auto apart = static_cast<std::size_t>(std::ceil(kShakerWindow / period));
    const auto most = static_cast<std::size_t>(std::ceil(kLongestShakerRun / period));
    std::vector<double> body, load;  // first-harmonic amplitude of each period
    run.rest_on(0);
    for (std::size_t p = 0; p < most; ++p) {
      // a = (2/N) sum y cos, b = (2/N) sum y sin over one period
      double bc = 0, bs = 0, lc = 0, ls = 0;
      for (std::size_t j = 1; j <= steps; ++j) {
        const double t = (static_cast<double>(p * steps + j) - 1) * h;
        run.step(h, amplitude * std::sin(omega * (t + g * h)),
                 amplitude * std::sin(omega * (t + h)));
        const double phase = omega * (t + h);
        const double c = std::cos(phase), s = std::sin(phase);
        bc += run.body() * c;
        bs += run.body() * s;
        const double dl = run.tyre_load() - w;
        lc += dl * c;
        ls += dl * s;
      }
      const double scale = 2 / static_cast<double>(steps);
      body.push_back(scale * std::hypot(bc, bs) / amplitude);
      load.push_back(scale * std::hypot(lc, ls) / w);
      if (p >= apart + 1) {
        const std::size_t q = p - apart;
        const bool steady = std::abs(body[p] - body[q]) <= kShakerTolerance * (body[p] + 1e-9) &&
                            std::abs(load[p] - load[q]) <= kShakerTolerance * (load[p] + 1e-9);
        if (steady) break;
      }
    }
    r.frequency_hz.push_back(f);
    r.body.push_back(body.back());
    r.tyre_load.push_back(load.back());
  }
  // The body resonance is the body's highest peak; the wheel's is the tyre load's highest
  // peak well above it (none when the load only falls from there).
  const std::size_t b = largest_in(r.frequency_hz, r.body, 0, kInf);
  r.body_resonance_hz = peak_frequency(r.frequency_hz, r.body, b);
  const std::size_t u = largest_in(r.frequency_hz, r.tyre_load, 1.5 * r.frequency_hz[b], kInf);
  const bool peak = u < count && u > 0 && u + 1 < count && r.tyre_load[u] > r.tyre_load[u - 1] &&
                    r.tyre_load[u] >= r.tyre_load[u + 1];
  r.wheel_resonance_hz = peak ? peak_frequency(r.frequency_hz, r.tyre_load, u) : kNaN;
  return r;
}

}  // namespace quorin::analysis
