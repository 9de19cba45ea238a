#include "analysis/tuning.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <utility>

#include "processor/resample.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin::analysis {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::string_view kSweepCancelled =
    "The clicker sweep was cancelled; nothing was changed.";
constexpr std::string_view kSearchCancelled =
    "The search for the closest set-up was cancelled; nothing was changed.";
constexpr double kNewtonMetresPerNewtonMillimetre = 1000;  // N/mm to N/m

// A drawn curve read off at many velocities with the velocity table's rule: a point's own
// force where a point lies at the velocity (the first such point), else the first segment
// that spans it, read linearly. Synthesised curves mostly rise with force, so a curve whose
// velocities never fall is read by bisection; any other curve through a tree of its segments'
// velocity ranges. Both give the same answers as the table's linear reading.
class CurveReader {
 public:
  CurveReader(const std::vector<double>& velocity, const std::vector<double>& force)
      : v_(velocity), f_(force), n_(std::min(velocity.size(), force.size())) {
    for (std::size_t k = 0; k + 1 < n_ && rising_; ++k) rising_ = v_[k] <= v_[k + 1];
    for (std::size_t k = 0; k < n_; ++k) {
      lo_ = std::min(lo_, v_[k]);
      hi_ = std::max(hi_, v_[k]);
    }
    if (!rising_) build_tree();
  }
  bool covers(double at) const { return n_ > 0 && at >= lo_ && at <= hi_; }
  double velocity(std::size_t k) const { return v_[k]; }
  double force(std::size_t k) const { return f_[k]; }
  static constexpr std::size_t kNoSegment = std::numeric_limits<std::size_t>::max();
  // The segment k (from point k to point k + 1) that every velocity from `first` to `last` is
  // read off when no point of the curve lies in that range; kNoSegment when one does or when
  // the range is not read off the curve. Ranges asked in rising order (`cursor` as for
  // at_rising).
  std::size_t segment_for(double first, double last, std::size_t& cursor) const {
    if (n_ == 0 || !(first <= last)) return kNoSegment;
    if (rising_) {
      while (cursor < n_ && v_[cursor] < first) ++cursor;
      const std::size_t k = cursor;  // the first point at or above `first`
      if (k == 0 || k == n_ || !(v_[k] > last)) return kNoSegment;
      return k - 1;
    }
    // With no point in the range each segment spans all of it or none of it, so the first
    // segment spanning `first` is the first spanning every velocity of the range.
    const auto e = std::lower_bound(by_velocity_.begin(), by_velocity_.end(),
                                    std::pair{first, std::size_t{0}});
    if (e != by_velocity_.end() && !(e->first > last)) return kNoSegment;
    return first_spanning(1, 0, leaves_, first).value_or(kNoSegment);
  }
  // The same reading for velocities asked in rising order: `cursor` starts at 0 and is kept
  // between calls, so a rising curve is walked once instead of bisected per velocity.
  std::optional<double> at_rising(double x, std::size_t& cursor) const {
    if (!rising_ || std::isnan(x)) return at(x);
    while (cursor < n_ && v_[cursor] < x) ++cursor;
    const std::size_t k = cursor;  // the first point at or above x, as lower_bound finds it
    if (k < n_ && v_[k] == x) return f_[k];
    if (k == 0 || k == n_) return std::nullopt;
    return f_[k - 1] + (f_[k] - f_[k - 1]) * (x - v_[k - 1]) / (v_[k] - v_[k - 1]);
  }
  std::optional<double> at(double x) const {
    if (n_ == 0 || std::isnan(x)) return std::nullopt;
    std::optional<std::size_t> segment;
    if (rising_) {
      const auto begin = v_.begin();
      const auto k = static_cast<std::size_t>(
          std::lower_bound(begin, begin + static_cast<long>(n_), x) - begin);
      if (k < n_ && v_[k] == x) return f_[k];
      if (k == 0 || k == n_) return std::nullopt;
      segment = k - 1;
    } else {
      const auto e =
          std::lower_bound(by_velocity_.begin(), by_velocity_.end(), std::pair{x, std::size_t{0}});
      if (e != by_velocity_.end() && e->first == x) return f_[e->second];
      segment = first_spanning(1, 0, leaves_, x);
      if (!segment) return std::nullopt;
    }
    const std::size_t k = *segment;
    const double v0 = v_[k], v1 = v_[k + 1];
    // f(x) = f0 + (f1 - f0) * (x - v0) / (v1 - v0)
    return f_[k] + (f_[k + 1] - f_[k]) * (x - v0) / (v1 - v0);
  }

 private:
  void build_tree() {
    for (std::size_t k = 0; k < n_; ++k) by_velocity_.emplace_back(v_[k], k);
    std::sort(by_velocity_.begin(), by_velocity_.end());
    const std::size_t segments = n_ - 1;
    leaves_ = 1;
    while (leaves_ < segments) leaves_ *= 2;
    constexpr double inf = std::numeric_limits<double>::infinity();
    low_.assign(2 * leaves_, inf);
    high_.assign(2 * leaves_, -inf);
    for (std::size_t k = 0; k < segments; ++k) {
      low_[leaves_ + k] = std::min(v_[k], v_[k + 1]);
      high_[leaves_ + k] = std::max(v_[k], v_[k + 1]);
    }
    for (std::size_t i = leaves_; i-- > 1;) {
      low_[i] = std::min(low_[2 * i], low_[2 * i + 1]);
      high_[i] = std::max(high_[2 * i], high_[2 * i + 1]);
    }
  }
  // The first segment in node `i` (covering segments first .. first + width - 1) whose
  // velocities lie strictly on both sides of x.
  std::optional<std::size_t> first_spanning(std::size_t i, std::size_t first, std::size_t width,
                                            double x) const {
    if (!(low_[i] < x && x < high_[i])) return std::nullopt;
    if (width == 1) return first;
    const std::size_t half = width / 2;
    if (auto left = first_spanning(2 * i, first, half, x)) return left;
    return first_spanning(2 * i + 1, first + half, half, x);
  }

  const std::vector<double>& v_;
  const std::vector<double>& f_;
  std::size_t n_;
  bool rising_ = true;
  double lo_ = std::numeric_limits<double>::infinity();
  double hi_ = -std::numeric_limits<double>::infinity();
  std::vector<std::pair<double, std::size_t>> by_velocity_;
  std::size_t leaves_ = 0;
  std::vector<double> low_, high_;
};

// Merged points per run: few enough that most runs lie between two points of a curve (one
// per newton), enough that a run stands for many points.
constexpr std::size_t kPointsPerRun = 32;

std::size_t band_of(double v, const std::array<double, 3>& edges) {
  std::size_t b = 0;
  while (b < edges.size() && v >= edges[b]) ++b;
  return b;
}

std::string short_number(double v) {
  std::string s = num2str(v);
  return s;
}

double parsed(const std::string& text) {
  const auto n = str2double(text);
  return n ? *n : kNaN;
}

}  // namespace

std::string_view adjuster_name(Adjuster a) {
  switch (a) {
    case Adjuster::LSC:
      return "LSC";
    case Adjuster::HSC:
      return "HSC";
    case Adjuster::LSR:
      return "LSR";
    case Adjuster::HSR:
      return "HSR";
  }
  return "LSC";
}

Adjuster adjuster_named(std::string_view name) {
  for (Adjuster a : kAdjusters)
    if (adjuster_name(a) == name) return a;
  throw RuntimeError("There is no adjuster \"" + std::string(name) +
                     "\"; choose LSC, HSC, LSR or HSR.");
}

bool adjusts_compression(Adjuster a) {
  return a == Adjuster::LSC || a == Adjuster::HSC;
}

SetupSelection with_click(SetupSelection s, Adjuster a, std::size_t row,
                          const std::vector<std::string>& rows) {
  if (row < 1 || row > rows.size())
    throw RuntimeError("The popup " + std::string(adjuster_name(a)) + " has no row " +
                       std::to_string(row) + "; it has " + std::to_string(rows.size()) + ".");
  SideSelection& side = adjusts_compression(a) ? s.compression : s.rebound;
  const bool low = a == Adjuster::LSC || a == Adjuster::LSR;
  (low ? side.bleed_value : side.high_value) = static_cast<double>(row);
  (low ? side.bleed_text : side.high_text) = rows[row - 1];
  return s;
}

std::array<double, 4> sweep_velocities(bool si) {
  if (si) return {0.025, 0.05, 0.1, 0.25};
  return {1, 2, 5, 10};
}

ClickerSweep clicker_sweep(const SetupSelection& s, Adjuster a,
                           const std::vector<std::string>& rows, std::size_t first_row,
                           std::size_t last_row, const Globals& tables, const BleedData& bleeds,
                           UnitFactors units, double record_number, bool si, const GoOn& go_on) {
  if (first_row < 1 || last_row > rows.size() || first_row > last_row)
    throw RuntimeError("A sweep of " + std::string(adjuster_name(a)) + " runs over rows 1 to " +
                       std::to_string(rows.size()) + " with the first at or before the last; " +
                       std::to_string(first_row) + " to " + std::to_string(last_row) +
                       " was asked for.");
  ClickerSweep out;
  out.adjuster = a;
  out.velocity = sweep_velocities(si);
  const bool compression = adjusts_compression(a);
  for (std::size_t row = first_row; row <= last_row; ++row) {
    SweepCurve c{
        row, rows[row - 1],
        synthesise_setup(with_click(s, a, row, rows), tables, bleeds, units, record_number)};
    const std::vector<double>& v =
        compression ? c.curve.compression_velocity : c.curve.rebound_velocity;
    const std::vector<double>& f = compression ? c.curve.compression_force : c.curve.rebound_force;
    const CurveReader reader(v, f);
    std::array<std::optional<double>, 4> forces;
    for (std::size_t k = 0; k < forces.size(); ++k) forces[k] = reader.at(out.velocity[k]);
    out.force.push_back(forces);
    out.curves.push_back(std::move(c));
    if (go_on && !go_on(row - first_row + 1, last_row - first_row + 1))
      throw RuntimeError(std::string(kSweepCancelled));
  }
  return out;
}

std::string sweep_tsv(const ClickerSweep& sweep, const ShownUnits& units) {
  std::string out(adjuster_name(sweep.adjuster));
  for (double v : sweep.velocity)
    out += "\t" + exact_number(v) + " " + std::string(units.velocity) + " (" +
           std::string(units.force) + ")";
  out += '\n';
  for (std::size_t c = 0; c < sweep.curves.size(); ++c) {
    out += sweep.curves[c].click;
    for (const auto& f : sweep.force[c]) {
      out += '\t';
      if (f) out += exact_number(*f);
    }
    out += '\n';
  }
  return out;
}

MeasuredSides measured_sides(const std::vector<double>& velocity,
                             const std::vector<double>& force) {
  MeasuredSides m;
  const std::size_t n = std::min(velocity.size(), force.size());
  for (std::size_t k = 0; k < n; ++k) {
    if (!std::isfinite(velocity[k]) || !std::isfinite(force[k])) {
      ++m.not_finite;
    } else if (force[k] > 0) {
      m.compression_velocity.push_back(velocity[k]);
      m.compression_force.push_back(force[k]);
    } else if (force[k] < 0) {
      m.rebound_velocity.push_back(velocity[k]);
      m.rebound_force.push_back(force[k]);
    }
  }
  return m;
}

std::array<double, 3> band_edges(bool si) {
  if (si) return {0.05, 0.1, 0.25};
  return {2, 4, 10};
}

std::array<std::string, 4> band_names(bool si) {
  const std::array<double, 3> e = band_edges(si);
  return {"0-" + short_number(e[0]), short_number(e[0]) + "-" + short_number(e[1]),
          short_number(e[1]) + "-" + short_number(e[2]), ">" + short_number(e[2])};
}

namespace {

// The moments of merged points first .. last about their own means.
PointRun point_run(const MergedPoints& m, std::size_t first, std::size_t last) {
  PointRun r;
  r.first = first;
  r.last = last;
  r.first_velocity = m.velocity[r.first];
  r.last_velocity = m.velocity[r.last];
  double sum_v = 0, sum_f = 0;
  for (std::size_t k = r.first; k <= r.last; ++k) {
    const auto n = static_cast<double>(m.count[k]);
    r.samples += n;
    sum_v += n * m.velocity[k];
    sum_f += n * m.mean_force[k];
  }
  r.mean_velocity = sum_v / r.samples;
  r.mean_force = sum_f / r.samples;
  for (std::size_t k = r.first; k <= r.last; ++k) {
    const auto n = static_cast<double>(m.count[k]);
    const double dv = m.velocity[k] - r.mean_velocity, df = m.mean_force[k] - r.mean_force;
    r.svv += n * dv * dv;
    r.svf += n * dv * df;
    r.sff += n * df * df + m.spread[k];
  }
  return r;
}

}  // namespace

MergedPoints merge_points(const std::vector<double>& velocity, const std::vector<double>& force) {
  const std::size_t n = std::min(velocity.size(), force.size());
  std::vector<std::pair<double, double>> points;
  points.reserve(n);
  for (std::size_t k = 0; k < n; ++k)
    if (std::isfinite(velocity[k]) && std::isfinite(force[k]))
      points.emplace_back(velocity[k], force[k]);
  // In rising velocity, and at one velocity in rising force, so the sums do not depend on
  // the order of the file's samples.
  std::sort(points.begin(), points.end());
  MergedPoints m;
  m.samples = points.size();
  for (std::size_t i = 0; i < points.size();) {
    std::size_t j = i;
    double sum = 0;
    for (; j < points.size() && points[j].first == points[i].first; ++j) sum += points[j].second;
    const std::size_t count = j - i;
    const double mean = sum / static_cast<double>(count);
    double spread = 0;  // sum of squared deviations from the mean, taken after the mean
    for (std::size_t k = i; k < j; ++k) {
      const double d = points[k].second - mean;
      spread += d * d;
    }
    m.velocity.push_back(points[i].first);
    m.mean_force.push_back(mean);
    m.spread.push_back(spread);
    m.count.push_back(count);
    i = j;
  }
  for (std::size_t first = 0; first < m.velocity.size(); first += kPointsPerRun)
    m.runs.push_back(point_run(m, first, std::min(first + kPointsPerRun, m.velocity.size()) - 1));
  return m;
}

FitError fit_error(const std::vector<double>& curve_velocity,
                   const std::vector<double>& curve_force,
                   const std::vector<double>& measured_velocity,
                   const std::vector<double>& measured_force, const std::array<double, 3>& edges) {
  return fit_error(curve_velocity, curve_force, merge_points(measured_velocity, measured_force),
                   edges);
}

FitError fit_error(const std::vector<double>& curve_velocity,
                   const std::vector<double>& curve_force, const MergedPoints& measured,
                   const std::array<double, 3>& edges) {
  const CurveReader reader(curve_velocity, curve_force);
  FitError e;
  double sum_error = 0, sum_measured = 0;
  std::array<double, 4> band_sum{};
  std::size_t cursor = 0;
  auto add = [&](double v, std::size_t count, double squares, double measured_squares) {
    sum_error += squares;
    sum_measured += measured_squares;
    const std::size_t b = band_of(v, edges);
    band_sum[b] += squares;
    e.band_points[b] += count;
    e.points += count;
  };
  // Adds a run read off one straight piece of the curve; false when no piece spans it.
  auto add_run = [&](const PointRun& run) {
    const double first = run.first_velocity, last = run.last_velocity;
    if (band_of(first, edges) != band_of(last, edges)) return false;
    const std::size_t k = reader.segment_for(first, last, cursor);
    if (k == CurveReader::kNoSegment) return false;
    // The whole run is read off the straight piece from point k to point k + 1.
    const double v0 = reader.velocity(k), v1 = reader.velocity(k + 1);
    const double f0 = reader.force(k), f1 = reader.force(k + 1);
    const double slope = (f1 - f0) / (v1 - v0);
    const double at_mean = f0 + (f1 - f0) * (run.mean_velocity - v0) / (v1 - v0);
    const double d = at_mean - run.mean_force;
    const double about_mean =
        std::max(0.0, slope * slope * run.svv - 2 * slope * run.svf + run.sff);
    const double measured_squares = run.samples * run.mean_force * run.mean_force + run.sff;
    add(first, static_cast<std::size_t>(run.samples), run.samples * d * d + about_mean,
        measured_squares);
    return true;
  };
  for (const PointRun& run : measured.runs) {
    if (add_run(run)) continue;
    for (std::size_t k = run.first; k <= run.last; ++k) {
      const double v = measured.velocity[k];
      if (!reader.covers(v)) continue;
      const std::optional<double> f = reader.at_rising(v, cursor);
      if (!f) continue;
      // n samples of mean force m and spread s about it:
      // sum (f - F_i)^2 = n (f - m)^2 + s, and sum F_i^2 = n m^2 + s.
      const auto n = static_cast<double>(measured.count[k]);
      const double m = measured.mean_force[k], d = *f - m;
      add(v, measured.count[k], n * d * d + measured.spread[k], n * m * m + measured.spread[k]);
    }
  }
  if (e.points == 0) {
    e.rms = e.percent = kNaN;
    e.band_rms.fill(kNaN);
    return e;
  }
  const auto count = static_cast<double>(e.points);
  e.rms = std::sqrt(sum_error / count);
  const double measured_rms = std::sqrt(sum_measured / count);
  e.percent = measured_rms > 0 ? 100 * e.rms / measured_rms : kNaN;
  for (std::size_t b = 0; b < band_sum.size(); ++b)
    e.band_rms[b] =
        e.band_points[b] ? std::sqrt(band_sum[b] / static_cast<double>(e.band_points[b])) : kNaN;
  return e;
}

namespace {

// Searches one side: every low-speed row against every high-speed row. Combinations that
// land on the same table entry and bleed setting give the same curve; it is compared once and
// listed once, with the other high-speed clicks beside it.
SideSearch search_side(const SetupSelection& s, bool compression, const ClickRows& rows,
                       const Globals& tables, const BleedData& bleeds, UnitFactors units,
                       const SetupScales& scales, const MergedPoints& measured,
                       const std::array<double, 3>& edges, std::size_t keep,
                       const std::function<bool(std::size_t)>& step) {
  const std::vector<std::string>& low_rows = compression ? rows.lsc : rows.lsr;
  const std::vector<std::string>& high_rows = compression ? rows.hsc : rows.hsr;
  const Adjuster low = compression ? Adjuster::LSC : Adjuster::LSR;
  const Adjuster high = compression ? Adjuster::HSC : Adjuster::HSR;
  const double threshold = compression ? 2 : 3;
  const SideSelection& side = compression ? s.compression : s.rebound;

  struct Result {
    std::optional<FitError> error;  // nothing: refused
    std::size_t first = 0;          // index of the first candidate with this curve
  };
  std::map<std::pair<double, double>, Result> seen;
  // The shim flow of each high-speed setting, shared by every low-speed click tried on it.
  std::map<double, std::optional<ShimFlow>> flows;
  std::vector<Candidate> all;
  SideSearch out;
  out.points = measured.samples;
  const std::string side_name = compression ? "compression" : "rebound";
  if (measured.samples == 0) {
    out.why_none = "no " + side_name + " points in the dyno curve";
    return out;
  }
  for (std::size_t hr = 1; hr <= high_rows.size(); ++hr) {
    if (!step(hr - 1)) throw RuntimeError(std::string(kSearchCancelled));
    for (std::size_t lr = 1; lr <= low_rows.size(); ++lr) {
      const double k = parsed(low_rows[lr - 1]) + 1;
      const double h = high_speed_index(side.spring, parsed(high_rows[hr - 1]),
                                        static_cast<double>(hr), threshold);
      auto found = seen.find({k, h});
      if (found != seen.end()) {
        if (found->second.error)
          all[found->second.first].same_high_clicks.push_back(high_rows[hr - 1]);
        continue;
      }
      Result& r = seen[{k, h}];
      const SetupSelection c = with_click(with_click(s, low, lr, low_rows), high, hr, high_rows);
      const SideSelection& cs = compression ? c.compression : c.rebound;
      DamperCurve d;
      d.compscale = scales.compscale;
      d.rebscale = scales.rebscale;
      d.gasforce = 0;
      d.motionratio = scales.motionratio;
      try {
        auto flow = flows.find(h);
        if (flow == flows.end()) {
          flow = flows.emplace(h, std::nullopt).first;
          flow->second = compression ? compression_shim_flow(cs, tables, bleeds)
                                     : rebound_shim_flow(cs, tables, bleeds);
        }
        if (!flow->second) throw RuntimeError("refused before");
        SideCurve sc = add_bleed(*flow->second, cs.bleed_text,
                                 compression ? "LSC setting" : "LSR setting", bleeds);
        if (compression) {
          d.cmpvelocity = std::move(sc.velocity);
          d.cmpforce = std::move(sc.force);
        } else {
          d.rebvelocity = std::move(sc.velocity);
          d.rebforce.resize(sc.force.size());
          for (std::size_t j = 0; j < sc.force.size(); ++j) d.rebforce[j] = -1 * sc.force[j];
        }
      } catch (const RuntimeError&) {
        ++out.refused;
        continue;
      }
      const WheelCurves w = wheel_curves(d, units);
      const FitError e =
          compression ? fit_error(w.compression_velocity, w.compression_force, measured, edges)
                      : fit_error(w.rebound_velocity, w.rebound_force, measured, edges);
      r.error = e;
      r.first = all.size();
      ++out.tried;
      all.push_back({lr, hr, low_rows[lr - 1], high_rows[hr - 1], {}, e});
    }
  }
  // A curve that reaches none of the measured velocities was compared with nothing: it is no
  // candidate, however its RMS came out.
  std::erase_if(
      all, [](const Candidate& c) { return c.error.points == 0 || !std::isfinite(c.error.rms); });
  std::stable_sort(all.begin(), all.end(), [](const Candidate& a, const Candidate& b) {
    return a.error.rms < b.error.rms;
  });
  if (all.size() > keep) all.resize(keep);
  out.best = std::move(all);
  if (out.best.empty())
    out.why_none = out.tried == 0 ? "PLOT refuses every " + side_name + " click"
                                  : "no curve reaches the measured points";
  return out;
}

}  // namespace

ClosestSetup closest_setup(const SetupSelection& s, const ClickRows& rows, const Globals& tables,
                           const BleedData& bleeds, UnitFactors units,
                           const MeasuredSides& measured, const std::array<double, 3>& edges,
                           std::size_t keep, const GoOn& go_on) {
  const SetupScales scales = setup_scales(s);
  // One step per high-speed row, the compression side's first.
  const std::size_t total = rows.hsc.size() + rows.hsr.size();
  auto step_from = [&](std::size_t before) {
    return
        [&go_on, before, total](std::size_t done) { return !go_on || go_on(before + done, total); };
  };
  ClosestSetup out;
  out.compression =
      search_side(s, true, rows, tables, bleeds, units, scales,
                  merge_points(measured.compression_velocity, measured.compression_force), edges,
                  keep, step_from(0));
  out.rebound = search_side(s, false, rows, tables, bleeds, units, scales,
                            merge_points(measured.rebound_velocity, measured.rebound_force), edges,
                            keep, step_from(rows.hsc.size()));
  if (go_on && !go_on(total, total)) throw RuntimeError(std::string(kSearchCancelled));
  return out;
}

namespace {

constexpr std::string_view kWholeCancelled =
    "The search for the whole set-up was cancelled; nothing was changed.";

bool blank_row(const std::string& text) {
  return text.find_first_not_of(' ') == std::string::npos;
}

}  // namespace

SetupSelection with_whole_candidate(SetupSelection s, bool compression, const WholeCandidate& c,
                                    const ClickRows& rows) {
  SideSelection& side = compression ? s.compression : s.rebound;
  side.valve = static_cast<double>(c.valve_row);
  side.valve_text = c.valve_text;
  side.spring = static_cast<double>(c.spring_row);
  side.spring_text = c.spring_text;
  if (compression)
    return with_click(with_click(s, Adjuster::LSC, c.clicks.low_row, rows.lsc), Adjuster::HSC,
                      c.clicks.high_row, rows.hsc);
  return with_click(with_click(s, Adjuster::LSR, c.clicks.low_row, rows.lsr), Adjuster::HSR,
                    c.clicks.high_row, rows.hsr);
}

namespace {

// The whole-set-up search tries some 34,000 curves a side. Each is first screened at the
// measured points with the bleed of its low-speed setting taken from one resampling per
// setting onto the longest force grid met (PLOT resamples the bleed onto each curve's own
// grid; the two agree to far below the noise of any dyno run). The best screened curves are
// then synthesised exactly as PLOT draws them and their error figures taken as the closest
// set-up takes them, so every figure shown is PLOT's.
constexpr std::size_t kScreenedPerKept = 8;

struct Screened {
  std::size_t valve_row = 0, spring_row = 0, low_row = 0, high_row = 0;
  std::vector<std::string> same_high_clicks;
  double rms = 0;
};

// The bleed velocity of each low-speed setting at whole newtons, on the longest grid asked so
// far (asked again on a longer grid, it is resampled once more).
class ScreeningBleeds {
 public:
  explicit ScreeningBleeds(const BleedData& bleeds) : bleeds_(bleeds) {}
  // nullptr when the bleed data have no such setting.
  const std::vector<double>* at(double k, std::size_t points) {
    auto it = kept_.find(k);
    if (it != kept_.end() && it->second.size() >= points) return &it->second;
    const MeasuredCurve* c = bleeds_.setting(k);
    if (!c || c->velocity.empty() || c->force.empty()) return nullptr;
    // A little beyond what is asked, so growing grids do not resample every time.
    const std::size_t n = std::max(points, it == kept_.end() ? points : it->second.size() * 5 / 4);
    std::vector<double> grid(n);
    for (std::size_t i = 0; i < n; ++i) grid[i] = static_cast<double>(i);
    std::vector<double> v;
    try {
      v = bleed(c->velocity, c->force, grid).xspline;
    } catch (const RuntimeError&) {
      return nullptr;
    }
    return &(kept_[k] = std::move(v));
  }

 private:
  const BleedData& bleeds_;
  std::map<double, std::vector<double>> kept_;
};

// The RMS error of the curve velocity_i = (shim_i + bleed_i) * vscale against force_i = i *
// fscale at the measured points, read as fit_error reads a rising curve (the first point at or
// above each measured velocity, linearly before it); NaN when no point is compared.
double screened_rms(const std::vector<double>& shim, const std::vector<double>& bleed,
                    double vscale, double fscale, const MergedPoints& m) {
  const std::size_t n = shim.size();
  auto v_at = [&](std::size_t i) { return (shim[i] + bleed[i]) * vscale; };
  double sum = 0, count = 0;
  std::size_t lo = 0;
  for (std::size_t p = 0; p < m.velocity.size(); ++p) {
    const double x = m.velocity[p];
    // First grid point at or above x, by bisection from the last one found.
    std::size_t a = lo, b = n;
    while (a < b) {
      const std::size_t mid = a + (b - a) / 2;
      if (v_at(mid) < x)
        a = mid + 1;
      else
        b = mid;
    }
    lo = a;
    if (a == n || (a == 0 && v_at(0) != x)) continue;
    double f;
    if (v_at(a) == x) {
      f = static_cast<double>(a) * fscale;
    } else {
      const double v0 = v_at(a - 1), v1 = v_at(a);
      f = (static_cast<double>(a - 1) + (x - v0) / (v1 - v0)) * fscale;
    }
    const double c = static_cast<double>(m.count[p]), d = f - m.mean_force[p];
    sum += c * d * d + m.spread[p];
    count += c;
  }
  return count > 0 ? std::sqrt(sum / count) : kNaN;
}

// The exact curve of one side of `s` as the closest set-up synthesises it, at the wheel.
std::optional<FitError> exact_error(const SetupSelection& s, bool compression,
                                    const Globals& tables, const BleedData& bleeds,
                                    UnitFactors units, const SetupScales& scales,
                                    const MergedPoints& measured,
                                    const std::array<double, 3>& edges) {
  DamperCurve d;
  d.compscale = scales.compscale;
  d.rebscale = scales.rebscale;
  d.gasforce = 0;
  d.motionratio = scales.motionratio;
  try {
    if (compression) {
      SideCurve sc = synthesise_compression(s.compression, tables, bleeds);
      d.cmpvelocity = std::move(sc.velocity);
      d.cmpforce = std::move(sc.force);
    } else {
      SideCurve sc = synthesise_rebound(s.rebound, tables, bleeds);
      d.rebvelocity = std::move(sc.velocity);
      d.rebforce.resize(sc.force.size());
      for (std::size_t j = 0; j < sc.force.size(); ++j) d.rebforce[j] = -1 * sc.force[j];
    }
  } catch (const RuntimeError&) {
    return std::nullopt;
  }
  const WheelCurves w = wheel_curves(d, units);
  return compression ? fit_error(w.compression_velocity, w.compression_force, measured, edges)
                     : fit_error(w.rebound_velocity, w.rebound_force, measured, edges);
}

}  // namespace

WholeSetup whole_setup(const SetupSelection& s, const ValveRows& valves, const ClickRows& rows,
                       const Globals& tables, const BleedData& bleeds, UnitFactors units,
                       const MeasuredSides& measured, const std::array<double, 3>& edges,
                       bool compression, bool rebound, std::size_t keep, const GoOn& go_on) {
  const SetupScales scales = setup_scales(s);
  const std::size_t comp_pairs =
      compression ? valves.compression_valves.size() * valves.compression_springs.size() : 0;
  const std::size_t reb_pairs =
      rebound ? valves.rebound_valves.size() * valves.rebound_springs.size() : 0;
  const std::size_t total = comp_pairs + reb_pairs;
  std::size_t done = 0;
  ScreeningBleeds screening(bleeds);
  auto one_side = [&](bool comp, WholeSide& out) {
    out.searched = true;
    const std::string side_name = comp ? "compression" : "rebound";
    const MergedPoints points =
        comp ? merge_points(measured.compression_velocity, measured.compression_force)
             : merge_points(measured.rebound_velocity, measured.rebound_force);
    out.points = points.samples;
    const std::vector<std::string>& valve_rows =
        comp ? valves.compression_valves : valves.rebound_valves;
    const std::vector<std::string>& spring_rows =
        comp ? valves.compression_springs : valves.rebound_springs;
    const std::vector<std::string>& low_rows = comp ? rows.lsc : rows.lsr;
    const std::vector<std::string>& high_rows = comp ? rows.hsc : rows.hsr;
    const double threshold = comp ? 2 : 3;
    const double scale = comp ? scales.compscale : scales.rebscale;
    // velocity at the wheel = base * units.velocity / scale * motion ratio; force at the wheel
    // = grid force * scale / units.force / motion ratio (rebound below zero).
    const double vscale = units.velocity / scale * scales.motionratio;
    const double fscale = (comp ? 1 : -1) * scale / units.force / scales.motionratio;
    std::vector<Screened> screened;
    for (std::size_t vr = 1; vr <= valve_rows.size(); ++vr) {
      for (std::size_t sr = 1; sr <= spring_rows.size(); ++sr) {
        if (go_on && !go_on(done, total)) throw RuntimeError(std::string(kWholeCancelled));
        ++done;
        if (blank_row(valve_rows[vr - 1]) || points.samples == 0) continue;
        SetupSelection c = s;
        SideSelection& side = comp ? c.compression : c.rebound;
        side.valve = static_cast<double>(vr);
        side.valve_text = valve_rows[vr - 1];
        side.spring = static_cast<double>(sr);
        side.spring_text = spring_rows[sr - 1];
        std::map<std::pair<double, double>, std::optional<std::size_t>> seen;
        std::map<double, std::optional<ShimFlow>> flows;
        for (std::size_t hr = 1; hr <= high_rows.size(); ++hr) {
          const double h = high_speed_index(side.spring, parsed(high_rows[hr - 1]),
                                            static_cast<double>(hr), threshold);
          auto flow = flows.find(h);
          if (flow == flows.end()) {
            flow = flows.emplace(h, std::nullopt).first;
            const SetupSelection ch =
                with_click(c, comp ? Adjuster::HSC : Adjuster::HSR, hr, high_rows);
            try {
              flow->second = comp ? compression_shim_flow(ch.compression, tables, bleeds)
                                  : rebound_shim_flow(ch.rebound, tables, bleeds);
            } catch (const RuntimeError&) {
            }
          }
          for (std::size_t lr = 1; lr <= low_rows.size(); ++lr) {
            const double k = parsed(low_rows[lr - 1]) + 1;
            auto found = seen.find({k, h});
            if (found != seen.end()) {
              if (found->second)
                screened[*found->second].same_high_clicks.push_back(high_rows[hr - 1]);
              continue;
            }
            std::optional<std::size_t>& slot = seen[{k, h}];
            const std::vector<double>* b =
                flow->second ? screening.at(k, flow->second->shim.size()) : nullptr;
            if (!b) {
              ++out.refused;
              continue;
            }
            ++out.tried;
            const double rms = screened_rms(flow->second->shim, *b, vscale, fscale, points);
            if (!std::isfinite(rms)) continue;
            slot = screened.size();
            screened.push_back({vr, sr, lr, hr, {}, rms});
          }
        }
      }
    }
    // The best screened, synthesised exactly and ranked by their exact error.
    std::stable_sort(screened.begin(), screened.end(),
                     [](const Screened& a, const Screened& b) { return a.rms < b.rms; });
    if (screened.size() > keep * kScreenedPerKept) screened.resize(keep * kScreenedPerKept);
    std::vector<WholeCandidate> all;
    for (const Screened& sc : screened) {
      WholeCandidate w{sc.valve_row,
                       sc.spring_row,
                       valve_rows[sc.valve_row - 1],
                       spring_rows[sc.spring_row - 1],
                       {}};
      w.clicks.low_row = sc.low_row;
      w.clicks.high_row = sc.high_row;
      w.clicks.low_click = low_rows[sc.low_row - 1];
      w.clicks.high_click = high_rows[sc.high_row - 1];
      w.clicks.same_high_clicks = sc.same_high_clicks;
      const SetupSelection c = with_whole_candidate(s, comp, w, rows);
      const std::optional<FitError> e =
          exact_error(c, comp, tables, bleeds, units, scales, points, edges);
      if (!e || e->points == 0 || !std::isfinite(e->rms)) continue;
      w.clicks.error = *e;
      all.push_back(std::move(w));
    }
    std::stable_sort(all.begin(), all.end(), [](const WholeCandidate& a, const WholeCandidate& b) {
      return a.clicks.error.rms < b.clicks.error.rms;
    });
    if (all.size() > keep) all.resize(keep);
    out.best = std::move(all);
    if (out.best.empty())
      out.why_none = points.samples == 0 ? "no " + side_name + " points in the dyno curve"
                     : out.tried == 0    ? "PLOT refuses every " + side_name + " set-up"
                                         : "no curve reaches the measured points";
  };
  WholeSetup out;
  if (compression) one_side(true, out.compression);
  if (rebound) one_side(false, out.rebound);
  if (go_on && !go_on(total, total)) throw RuntimeError(std::string(kWholeCancelled));
  return out;
}

std::array<std::vector<double>, 4> best_curves(const SetupSelection& s, const ClickRows& rows,
                                               const ClosestSetup& found, const Globals& tables,
                                               const BleedData& bleeds, UnitFactors units) {
  const SetupScales scales = setup_scales(s);
  DamperCurve d;
  d.compscale = scales.compscale;
  d.rebscale = scales.rebscale;
  d.gasforce = 0;
  d.motionratio = scales.motionratio;
  if (!found.compression.best.empty()) {
    const Candidate& c = found.compression.best.front();
    const SetupSelection b = with_click(with_click(s, Adjuster::LSC, c.low_row, rows.lsc),
                                        Adjuster::HSC, c.high_row, rows.hsc);
    SideCurve side = synthesise_compression(b.compression, tables, bleeds);
    d.cmpvelocity = std::move(side.velocity);
    d.cmpforce = std::move(side.force);
  }
  if (!found.rebound.best.empty()) {
    const Candidate& r = found.rebound.best.front();
    const SetupSelection b = with_click(with_click(s, Adjuster::LSR, r.low_row, rows.lsr),
                                        Adjuster::HSR, r.high_row, rows.hsr);
    SideCurve side = synthesise_rebound(b.rebound, tables, bleeds);
    d.rebvelocity = std::move(side.velocity);
    d.rebforce.resize(side.force.size());
    for (std::size_t k = 0; k < side.force.size(); ++k) d.rebforce[k] = -1 * side.force[k];
  }
  WheelCurves w = wheel_curves(d, units);
  return {std::move(w.compression_velocity), std::move(w.compression_force),
          std::move(w.rebound_velocity), std::move(w.rebound_force)};
}

double critical_damping(double sprung_mass_kg, double wheel_rate_n_per_mm) {
  if (!(sprung_mass_kg > 0) || !std::isfinite(sprung_mass_kg))
    throw RuntimeError("The corner's sprung mass must be a number of kilograms above 0, not " +
                       num2str(sprung_mass_kg) + ".");
  if (!(wheel_rate_n_per_mm > 0) || !std::isfinite(wheel_rate_n_per_mm))
    throw RuntimeError("The wheel rate must be a number of N/mm above 0, not " +
                       num2str(wheel_rate_n_per_mm) + ".");
  // c_c = 2 sqrt(k m), k in N/m, m in kg, c_c in N s/m
  const double k = wheel_rate_n_per_mm * kNewtonMetresPerNewtonMillimetre;
  const double cc = 2 * std::sqrt(k * sprung_mass_kg);
  if (cc > 0 && std::isfinite(cc)) return cc;
  // k m is beyond what a number holds (or below its smallest step): the box to blame is the
  // larger factor (or the smaller), and both when both are that far out.
  const bool too_large = cc > 0;  // beyond any number; else 0
  const double limit = too_large ? 1e154 : 1e-154;
  auto out = [&](double v) { return too_large ? v >= limit : v <= limit; };
  const bool mass = out(sprung_mass_kg) || !out(k);
  const bool rate = out(k) || !out(sprung_mass_kg);
  const std::string m_text = "the corner's sprung mass of " + num2str(sprung_mass_kg) + " kg";
  const std::string k_text = "the wheel rate of " + num2str(wheel_rate_n_per_mm) + " N/mm";
  std::string blamed =
      mass && rate ? m_text + " and " + k_text + " are" : (mass ? m_text : k_text) + " is";
  blamed[0] = 'T';
  throw RuntimeError(blamed + (too_large ? " too large" : " too small") +
                     (mass && rate ? std::string() : " for " + (mass ? k_text : m_text)) +
                     ": the critical damping 2 sqrt(k m) would be " +
                     (too_large ? "beyond any number." : "0."));
}

double guide_force(double zeta, double cc, double velocity, UnitFactors units) {
  // v (m/s) = v shown / velocity factor; F shown = F (N) / force divisor
  return zeta * cc * (velocity / units.velocity) / units.force;
}

std::vector<GuideLine> damping_guides(double cc, UnitFactors units, double to) {
  std::vector<GuideLine> out;
  for (bool compression : {true, false})
    for (double zeta : kGuideRatios) {
      const double f = guide_force(zeta, cc, to, units);
      out.push_back({zeta, compression, {0, to}, {0, compression ? f : -f}});
    }
  return out;
}

std::vector<RatioCurve> damping_ratio_curves(const std::vector<DamperCurve>& plotdata,
                                             double counter, UnitFactors units, double cc) {
  std::vector<RatioCurve> out;
  // The ratio is taken in SI whatever is shown; only the velocity axis is in the units shown.
  const std::vector<DrawnCurve> si = stored_curves(plotdata, counter, kSIFactors);
  for (const DrawnCurve& c : si) {
    RatioCurve r{c.number.value_or(0), c.side, {}, {}};
    const std::size_t n = std::min(c.velocity.size(), c.force.size());
    for (std::size_t k = 0; k < n; ++k) {
      const double v = c.velocity[k];
      if (!(v > 0)) continue;
      r.velocity.push_back(v * units.velocity);
      r.ratio.push_back(std::abs(c.force[k]) / v / cc);
    }
    out.push_back(std::move(r));
  }
  return out;
}

}  // namespace quorin::analysis
