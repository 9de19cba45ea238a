#include "measured/processing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::measured {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kWindowSeconds = 0.004;  // the velocity window's half-width in time
constexpr double kStillStrokeM = 0.0005;  // a run moving less than this stands still
constexpr double kTurnFraction = 0.1;     // of the stroke: how far back makes a turn
constexpr double kSlowRunsFactor = 1.5;   // runs this close to the slowest give gas and friction
constexpr double kNearTurnSpeed = 0.1;    // of the peak speed: samples read either side of a turn
constexpr double kMostNearTurn = 200;     // at most this many of them

double median_step(const std::vector<double>& t) {
  if (t.size() < 2) return 0;
  std::vector<double> steps(t.size() - 1);
  for (std::size_t k = 1; k < t.size(); ++k) steps[k - 1] = t[k] - t[k - 1];
  std::nth_element(steps.begin(), steps.begin() + static_cast<long>(steps.size() / 2), steps.end());
  return steps[steps.size() / 2];
}

double median(std::vector<double> v) {
  if (v.empty()) return kNaN;
  std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
  const double upper = v[v.size() / 2];
  if (v.size() % 2) return upper;
  const double lower = *std::max_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2));
  return (lower + upper) / 2;
}

// The force of a straight line through f[first..last] (least squares against the index),
// read at index `at`.
double line_at(const std::vector<double>& f, std::size_t first, std::size_t last, double at) {
  const double n = static_cast<double>(last - first + 1);
  double si = 0, sf = 0;
  for (std::size_t k = first; k <= last; ++k) {
    si += static_cast<double>(k);
    sf += f[k];
  }
  const double mi = si / n, mf = sf / n;
  double sii = 0, sif = 0;
  for (std::size_t k = first; k <= last; ++k) {
    const double di = static_cast<double>(k) - mi;
    sii += di * di;
    sif += di * (f[k] - mf);
  }
  const double slope = sii > 0 ? sif / sii : 0;
  return mf + slope * (at - mi);
}

// What one reversal of the stroke says: the force just before and just after it, each read
// off a straight line through a few samples on its side and carried to the moment of the turn,
// so the damping force, which goes through zero there, drops out. The turn is the middle of
// the samples that all stand at the extreme (a file written to a few decimals holds several
// near a slow turn); they and their neighbours are left out, since the friction changes sign
// somewhere among them.
struct Reversal {
  double before = 0, after = 0;
  bool high = true;
};
std::optional<Reversal> reversal_at(const std::vector<double>& f, const std::vector<double>& x,
                                    std::size_t i, std::size_t w) {
  std::size_t first = i, last = i;
  while (first > 0 && x[first - 1] == x[i]) --first;
  while (last + 1 < x.size() && x[last + 1] == x[i]) ++last;
  if (first < w + 2 || last + w + 2 > f.size()) return std::nullopt;
  const double turn = (static_cast<double>(first) + static_cast<double>(last)) / 2;
  Reversal r;
  r.before = line_at(f, first - 1 - w, first - 2, turn);
  r.after = line_at(f, last + 2, last + 1 + w, turn);
  r.high = x[i] >= x[first - 1 - w];
  return r;
}

struct Stroke {
  double velocity = 0, force = 0, temperature = kNaN;
};

PeakPoint mean_of(const std::vector<Stroke>& s) {
  PeakPoint p;
  p.strokes = s.size();
  if (s.empty()) return p;
  double sv = 0, sf = 0, st = 0;
  std::size_t nt = 0;
  for (const Stroke& k : s) {
    sv += k.velocity;
    sf += k.force;
    if (!std::isnan(k.temperature)) {
      st += k.temperature;
      ++nt;
    }
  }
  const double n = static_cast<double>(s.size());
  p.velocity = sv / n;
  p.force = sf / n;
  double ss = 0;
  for (const Stroke& k : s) ss += (k.force - p.force) * (k.force - p.force);
  p.spread = s.size() > 1 ? std::sqrt(ss / (n - 1)) : 0;
  p.has_temperature = nt > 0;
  p.temperature = nt ? st / static_cast<double>(nt) : kNaN;
  return p;
}

double mean_over(const std::vector<double>& v, std::size_t first, std::size_t last) {
  double s = 0;
  for (std::size_t k = first; k <= last; ++k) s += v[k];
  return s / static_cast<double>(last - first + 1);
}

struct RunWork {
  RunCurves curves;
  std::vector<double> v;  // velocity of every sample
  std::vector<Reversal> reversals;
  double still_force = kNaN;  // mean force of a static hold
};

RunWork work_run(const Run& run) {
  RunWork w;
  RunCurves& c = w.curves;
  c.name = run.name;
  const std::vector<double>& x = run.displacement_m;
  const std::vector<double>& f = run.force_n;
  const std::size_t n = x.size();
  const double dt = median_step(run.time_s);
  c.rate_hz = dt > 0 ? 1 / dt : 0;
  const std::size_t m = velocity_half_width(c.rate_hz);
  w.v = !run.velocity_mps.empty() ? run.velocity_mps
                                  : (dt > 0 ? sg_velocity(x, dt, m) : std::vector<double>(n, 0));
  const std::vector<double>& v = w.v;
  if (n == 0) return w;
  const auto [lo, hi] = std::minmax_element(x.begin(), x.end());
  c.stroke_m = *hi - *lo;
  for (double s : v) c.peak_speed = std::max(c.peak_speed, std::abs(s));
  if (c.stroke_m < kStillStrokeM) {
    c.static_hold = true;
    w.still_force = mean_over(f, 0, n - 1);
    return w;
  }
  const std::vector<std::size_t> turns = turning_points(x, kTurnFraction * c.stroke_m);
  const bool has_t = !run.temperature_c.empty();
  const std::size_t h = std::max<std::size_t>(1, m / 2);
  std::vector<Stroke> comp, reb;
  for (std::size_t j = 0; j + 1 < turns.size(); ++j) {
    const std::size_t a = turns[j], b = turns[j + 1];
    const bool rising = x[b] > x[a];
    std::size_t peak = a;
    for (std::size_t k = a; k <= b; ++k)
      if (rising ? v[k] > v[peak] : v[k] < v[peak]) peak = k;
    const std::size_t first = std::max(a, peak >= h ? peak - h : 0);
    const std::size_t last = std::min(b, peak + h);
    Stroke s{mean_over(v, first, last), mean_over(f, first, last),
             has_t ? mean_over(run.temperature_c, a, b) : kNaN};
    (rising ? comp : reb).push_back(s);
  }
  c.compression = mean_of(comp);
  c.rebound = mean_of(reb);
  // Full cycles from low to low: energy = closed integral of F dx (trapezoids).
  std::vector<std::size_t> lows;
  for (std::size_t j = 0; j < turns.size() && turns.size() > 1; ++j) {
    const std::size_t other = turns[j + 1 < turns.size() ? j + 1 : j - 1];
    if (x[turns[j]] < x[other]) lows.push_back(turns[j]);
  }
  for (std::size_t j = 0; j + 1 < lows.size(); ++j) {
    double e = 0;
    for (std::size_t k = lows[j]; k < lows[j + 1]; ++k)
      e += 0.5 * (f[k] + f[k + 1]) * (x[k + 1] - x[k]);
    c.cycle_energy_j.push_back(e);
    c.cycle_temperature_c.push_back(has_t ? mean_over(run.temperature_c, lows[j], lows[j + 1])
                                          : kNaN);
  }
  if (lows.size() >= 2) {
    const std::size_t j = (lows.size() - 2) / 2;
    for (std::size_t k = lows[j]; k <= lows[j + 1]; ++k) {
      c.loop_x.push_back(x[k]);
      c.loop_v.push_back(v[k]);
      c.loop_f.push_back(f[k]);
    }
  }
  // Either side of a turn the samples read are those within a tenth of the run's peak speed
  // (for a sine drive of angular speed w = 2 v_peak / stroke, a time of 0.1 / w), so the
  // damping force is small and nearly straight there, and many samples average the noise.
  const double w_rad = c.stroke_m > 0 ? 2 * c.peak_speed / c.stroke_m : 0;
  const double near_turn = w_rad > 0 ? kNearTurnSpeed * c.rate_hz / w_rad : 0;
  const std::size_t rw = static_cast<std::size_t>(
      std::clamp(near_turn, static_cast<double>(std::max<std::size_t>(3, m)), kMostNearTurn));
  for (std::size_t t : turns)
    if (std::optional<Reversal> r = reversal_at(f, x, t, rw)) w.reversals.push_back(*r);
  return w;
}

void add_absolute(AbsoluteCurve& a, const std::vector<double>& v, const std::vector<double>& f,
                  double top, std::vector<std::array<double, 8>>& sums) {
  const std::size_t bins = a.speed.size();
  for (std::size_t k = 1; k + 1 < v.size(); ++k) {
    const double s = std::abs(v[k]);
    if (s == 0) continue;
    const std::size_t b =
        std::min(bins - 1, static_cast<std::size_t>(s / top * static_cast<double>(bins)));
    // |v| grows when velocity and its change have the same sign.
    const bool accelerating = v[k] * (v[k + 1] - v[k - 1]) > 0;
    const std::size_t branch = (v[k] > 0 ? 0 : 2) + (accelerating ? 0 : 1);
    sums[b][2 * branch] += f[k];
    sums[b][2 * branch + 1] += 1;
  }
}

}  // namespace

std::size_t velocity_half_width(double rate_hz) {
  if (!(rate_hz > 0) || !std::isfinite(rate_hz)) return 2;
  return static_cast<std::size_t>(std::clamp(std::round(kWindowSeconds * rate_hz), 2.0, 25.0));
}

std::vector<double> sg_velocity(const std::vector<double>& x, double dt, std::size_t m) {
  const std::size_t n = x.size();
  std::vector<double> v(n, 0);
  if (n < 2 || !(dt > 0)) return v;
  for (std::size_t i = 0; i < n; ++i) {
    // The window shrinks near the ends so it stays centred on sample i.
    const std::size_t w = std::min({m, i, n - 1 - i});
    if (w == 0) {
      v[i] = i == 0 ? (x[1] - x[0]) / dt : (x[n - 1] - x[n - 2]) / dt;
      continue;
    }
    double s = 0;
    for (std::size_t k = 1; k <= w; ++k) s += static_cast<double>(k) * (x[i + k] - x[i - k]);
    const double wd = static_cast<double>(w);
    const double norm = wd * (wd + 1) * (2 * wd + 1) / 3;  // sum of k^2 over -w..w
    v[i] = s / (norm * dt);
  }
  return v;
}

std::vector<std::size_t> turning_points(const std::vector<double>& x, double hysteresis) {
  std::vector<std::size_t> out;
  if (x.size() < 3) return out;
  // Which way the stroke goes is known once it has moved by the hysteresis from the start.
  std::size_t hi = 0, lo = 0;
  int going = 0;  // +1 up, -1 down
  for (std::size_t k = 1; k < x.size(); ++k) {
    if (x[k] > x[hi]) hi = k;
    if (x[k] < x[lo]) lo = k;
    if (going == 0) {
      if (x[k] - x[lo] >= hysteresis) {
        going = 1;
        out.push_back(lo);
        hi = k;
      } else if (x[hi] - x[k] >= hysteresis) {
        going = -1;
        out.push_back(hi);
        lo = k;
      }
    } else if (going > 0 && x[hi] - x[k] >= hysteresis) {
      out.push_back(hi);
      going = -1;
      lo = k;
    } else if (going < 0 && x[k] - x[lo] >= hysteresis) {
      out.push_back(lo);
      going = 1;
      hi = k;
    }
  }
  // The first extreme is the start of the first stroke only when the stroke moved away from
  // it and came back; a run starting mid-stroke has no turn there.
  if (!out.empty() && out.front() == 0) out.erase(out.begin());
  return out;
}

Processed process(const RunFile& file, const Options& options) {
  Processed p;
  std::vector<RunWork> work;
  for (const Run& r : file.runs) work.push_back(work_run(r));
  bool any_stroke = false;
  double top = 0;
  for (const RunWork& w : work) {
    any_stroke = any_stroke || w.curves.compression.strokes || w.curves.rebound.strokes;
    if (!w.curves.static_hold) top = std::max(top, w.curves.peak_speed);
  }
  if (!any_stroke)
    throw RuntimeError(
        "No run of the file has a full stroke (from one turn of the displacement to the next) "
        "to take a peak velocity from.");
  // The absolute-velocity curve over every moving run.
  const std::size_t bins = std::max<std::size_t>(1, options.bins);
  p.absolute.speed.resize(bins);
  for (std::size_t b = 0; b < bins; ++b)
    p.absolute.speed[b] = (static_cast<double>(b) + 0.5) * top / static_cast<double>(bins);
  std::vector<std::array<double, 8>> sums(bins, std::array<double, 8>{});
  for (std::size_t k = 0; k < work.size(); ++k)
    if (!work[k].curves.static_hold && top > 0)
      add_absolute(p.absolute, work[k].v, file.runs[k].force_n, top, sums);
  std::array<std::vector<double>*, 4> branches = {
      &p.absolute.compression_accelerating, &p.absolute.compression_decelerating,
      &p.absolute.rebound_accelerating, &p.absolute.rebound_decelerating};
  for (std::size_t br = 0; br < 4; ++br) {
    branches[br]->resize(bins);
    for (std::size_t b = 0; b < bins; ++b)
      (*branches[br])[b] = sums[b][2 * br + 1] > 0 ? sums[b][2 * br] / sums[b][2 * br + 1] : kNaN;
  }

  // Gas force: a static hold says it directly; else the reversals of the slowest runs, where
  // the damping force is least.
  std::vector<double> holds;
  std::string hold_names;
  for (const RunWork& w : work)
    if (w.curves.static_hold) {
      holds.push_back(w.still_force);
      hold_names += (hold_names.empty() ? "" : ", ") + w.curves.name;
    }
  double slowest = std::numeric_limits<double>::infinity();
  for (const RunWork& w : work)
    if (!w.reversals.empty()) slowest = std::min(slowest, w.curves.peak_speed);
  std::vector<double> high_mid, low_mid, friction;
  std::string slow_names;
  for (const RunWork& w : work) {
    if (w.reversals.empty() || w.curves.peak_speed > kSlowRunsFactor * slowest) continue;
    slow_names += (slow_names.empty() ? "" : ", ") + w.curves.name;
    for (const Reversal& r : w.reversals) {
      (r.high ? high_mid : low_mid).push_back((r.before + r.after) / 2);
      // Friction acts against the motion: more force before a high turn (going in), less after.
      friction.push_back((r.high ? r.before - r.after : r.after - r.before) / 2);
    }
  }
  if (!holds.empty()) {
    p.gas_force_n =
        std::accumulate(holds.begin(), holds.end(), 0.0) / static_cast<double>(holds.size());
    p.gas_from = "the mean force of the static hold (run " + hold_names + ")";
  } else if (!high_mid.empty() || !low_mid.empty()) {
    // The mean of the two ends of the stroke: the gas force at mid-stroke.
    const double h = median(high_mid), l = median(low_mid);
    p.gas_force_n = std::isnan(h) ? l : std::isnan(l) ? h : (h + l) / 2;
    p.gas_from = "the force where the velocity turns, between the ends of the stroke (run " +
                 slow_names + ")";
  } else {
    p.gas_from = "not found: no static hold and no turn of the stroke";
    p.notes.push_back("No gas force was found; it is taken as 0 N.");
  }
  if (!friction.empty()) {
    p.friction_n = std::max(0.0, median(friction));
    p.friction_found = true;
  } else {
    p.notes.push_back("No seal friction was found: no run turns with samples either side.");
  }
  for (RunWork& w : work) p.runs.push_back(std::move(w.curves));
  return p;
}

ExtractedCurve extracted_curve(const Processed& p, bool less_gas, bool less_friction) {
  const double gas = less_gas ? p.gas_force_n : 0;
  const double friction = less_friction && p.friction_found ? p.friction_n : 0;
  std::vector<const PeakPoint*> comp, reb;
  for (const RunCurves& r : p.runs) {
    if (r.compression.strokes) comp.push_back(&r.compression);
    if (r.rebound.strokes) reb.push_back(&r.rebound);
  }
  auto by_speed = [](const PeakPoint* a, const PeakPoint* b) {
    return std::abs(a->velocity) < std::abs(b->velocity);
  };
  std::stable_sort(comp.begin(), comp.end(), by_speed);
  std::stable_sort(reb.begin(), reb.end(), by_speed);
  ExtractedCurve c;
  auto add = [&](const PeakPoint& pt, double force) {
    c.velocity.push_back(pt.velocity);
    c.force.push_back(force);
    c.spread.push_back(pt.spread);
    c.temperature.push_back(pt.has_temperature ? pt.temperature : kNaN);
  };
  for (auto it = reb.rbegin(); it != reb.rend(); ++it) add(**it, (*it)->force - gas + friction);
  c.velocity.push_back(0);
  c.force.push_back(0);
  c.spread.push_back(0);
  c.temperature.push_back(kNaN);
  for (const PeakPoint* pt : comp) add(*pt, pt->force - gas - friction);
  return c;
}

}  // namespace quorin::measured
