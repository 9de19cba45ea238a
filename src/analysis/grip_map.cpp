#include "analysis/grip_map.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <cmath>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "services/runtime_error.h"

namespace quorin::analysis {
namespace {

constexpr std::string_view kCancelled = "The grip map was cancelled; nothing was changed.";
constexpr auto kProgressEvery = std::chrono::milliseconds(50);

// One set-up of the sweep waiting for a worker.
struct Job {
  std::size_t index;
  DamperLaw damper;
};

}  // namespace

std::string grip_sweep_name(const GripSweep& s) {
  const std::size_t side = s.compression ? 0 : 2;
  if (s.low && s.high) return std::string(kGripSweepNames[4 + side / 2]);
  return std::string(kGripSweepNames[side + (s.low ? 0 : 1)]);
}

GripSweep grip_sweep_named(std::string_view name) {
  for (bool compression : {true, false})
    for (auto [low, high] : {std::pair{true, false}, {false, true}, {true, true}}) {
      const GripSweep s{compression, low, high};
      if (grip_sweep_name(s) == name) return s;
    }
  throw RuntimeError("There is no sweep \"" + std::string(name) +
                     "\"; choose LSC, HSC, LSR, HSR, \"LSC and HSC\" or \"LSR and HSR\".");
}

void mark_pareto_front(std::vector<GripPoint>& points) {
  std::vector<std::size_t> order(points.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  // By grip, then comfort: a point is on the front when its acceleration is below that of
  // every point before it in this order.
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const GripPoint &p = points[a], &q = points[b];
    if (p.tyre_load_rms_n != q.tyre_load_rms_n) return p.tyre_load_rms_n < q.tyre_load_rms_n;
    return p.body_accel_rms < q.body_accel_rms;
  });
  double best = std::numeric_limits<double>::infinity();
  const GripPoint* last = nullptr;
  for (std::size_t i : order) {
    GripPoint& p = points[i];
    // A point equal on both to one already on the front is on it too.
    const bool same = last && last->tyre_load_rms_n == p.tyre_load_rms_n &&
                      last->body_accel_rms == p.body_accel_rms;
    p.on_front = p.body_accel_rms < best || same;
    if (p.on_front) {
      best = std::min(best, p.body_accel_rms);
      last = &p;
    }
  }
}

GripMap grip_map(const SetupSelection& s, const GripSweep& sweep, const ClickRows& rows,
                 const Globals& tables, const BleedData& bleeds, const QuarterCar& car,
                 const RoadProfile& road, double speed_kmh, unsigned threads, const GoOn& go_on) {
  check_quarter_car(car);
  if (!(speed_kmh > 0) || !std::isfinite(speed_kmh))
    throw RuntimeError("The speed (km/h) must be a number above 0.");
  // The set-up as it is: the other side, the scales, and what PLOT would refuse.
  const DamperCurve base = synthesise_setup(s, tables, bleeds, kSIFactors, 1);
  const bool comp = sweep.compression;
  const SideSelection& side = comp ? s.compression : s.rebound;
  const std::vector<std::string>& low_rows = comp ? rows.lsc : rows.lsr;
  const std::vector<std::string>& high_rows = comp ? rows.hsc : rows.hsr;
  const Adjuster low = comp ? Adjuster::LSC : Adjuster::LSR;
  const Adjuster high = comp ? Adjuster::HSC : Adjuster::HSR;
  auto own_row = [](double value) { return static_cast<std::size_t>(value); };
  std::vector<std::size_t> lows, highs;
  if (sweep.low)
    for (std::size_t r = 1; r <= low_rows.size(); ++r) lows.push_back(r);
  else
    lows.push_back(own_row(side.bleed_value));
  if (sweep.high)
    for (std::size_t r = 1; r <= high_rows.size(); ++r) highs.push_back(r);
  else
    highs.push_back(own_row(side.high_value));

  GripMap out;
  out.sweep = sweep;
  std::vector<GripPoint> points;
  for (std::size_t hr : highs)
    for (std::size_t lr : lows) {
      GripPoint p;
      p.low_row = lr;
      p.high_row = hr;
      p.low_click = lr >= 1 && lr <= low_rows.size() ? low_rows[lr - 1] : side.bleed_text;
      p.high_click = hr >= 1 && hr <= high_rows.size() ? high_rows[hr - 1] : side.high_text;
      points.push_back(std::move(p));
    }
  const std::size_t total = points.size();
  std::vector<bool> refused(total, false);

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Job> queue;
  bool produced = false;
  std::atomic<bool> stop{false};
  std::atomic<std::size_t> done{0};
  std::exception_ptr failure;
  const std::size_t most_waiting = 4 * std::max(1u, threads);

  auto work = [&] {
    for (;;) {
      std::optional<Job> job;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stop || !queue.empty() || produced; });
        if (stop || queue.empty()) return;
        job.emplace(std::move(queue.front()));
        queue.pop_front();
      }
      changed.notify_all();
      try {
        const RoadResult r = ride_on_road(car, job->damper, road, speed_kmh);
        GripPoint& p = points[job->index];
        p.tyre_load_rms_n = r.tyre_load_rms_n;
        p.tyre_load_rms_percent = r.tyre_load_rms_percent;
        p.body_accel_rms = r.body_accel_rms;
      } catch (...) {
        std::lock_guard lock(mutex);
        if (!failure) failure = std::current_exception();
        stop = true;
      }
      ++done;
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < std::max(1u, threads); ++t) workers.emplace_back(work);
  auto finish = [&] {
    {
      std::lock_guard lock(mutex);
      produced = true;
    }
    changed.notify_all();
    for (std::thread& t : workers) t.join();
  };
  auto going_on = [&](std::size_t finished) { return !go_on || go_on(finished, total); };

  try {
    // The shim flow of each high-speed click, shared by every low-speed click tried on it.
    std::map<std::size_t, std::optional<ShimFlow>> flows;
    std::size_t refused_count = 0;
    for (std::size_t i = 0; i < total && !stop; ++i) {
      const GripPoint& p = points[i];
      SetupSelection c = s;
      if (sweep.low) c = with_click(c, low, p.low_row, low_rows);
      if (sweep.high) c = with_click(c, high, p.high_row, high_rows);
      const SideSelection& cs = comp ? c.compression : c.rebound;
      std::optional<DamperLaw> law;
      try {
        auto flow = flows.find(p.high_row);
        if (flow == flows.end()) {
          flow = flows.emplace(p.high_row, std::nullopt).first;
          flow->second = comp ? compression_shim_flow(cs, tables, bleeds)
                              : rebound_shim_flow(cs, tables, bleeds);
        }
        if (!flow->second) throw RuntimeError("refused before");
        SideCurve sc = add_bleed(*flow->second, cs.bleed_text,
                                 comp ? "LSC setting" : "LSR setting", bleeds);
        DamperCurve d = base;
        if (comp) {
          d.cmpvelocity = std::move(sc.velocity);
          d.cmpforce = std::move(sc.force);
        } else {
          d.rebvelocity = std::move(sc.velocity);
          d.rebforce.resize(sc.force.size());
          for (std::size_t k = 0; k < sc.force.size(); ++k) d.rebforce[k] = -1 * sc.force[k];
        }
        law = DamperLaw::of_curve(d);
      } catch (const RuntimeError&) {
        refused[i] = true;
        ++refused_count;
        ++done;
        continue;
      }
      std::unique_lock lock(mutex);
      for (;;) {
        if (changed.wait_for(lock, kProgressEvery,
                             [&] { return stop || queue.size() < most_waiting; }))
          break;
        lock.unlock();
        const bool go = going_on(done);
        lock.lock();
        if (!go) stop = true;
      }
      if (stop) break;
      queue.push_back({i, std::move(*law)});
      lock.unlock();
      changed.notify_all();
      if (!going_on(done)) stop = true;
    }
    out.refused = refused_count;
    // What is left in the queue, telling how far the work has come.
    for (;;) {
      std::unique_lock lock(mutex);
      if (changed.wait_for(lock, kProgressEvery,
                           [&] { return stop || (queue.empty() && done == total); }))
        break;
      lock.unlock();
      if (!going_on(done)) {
        std::lock_guard again(mutex);
        stop = true;
      }
    }
  } catch (...) {
    stop = true;
    finish();
    throw;
  }
  const bool cancelled = stop && !failure;
  finish();
  if (failure) std::rethrow_exception(failure);
  if (cancelled || !going_on(total)) throw RuntimeError(std::string(kCancelled));
  for (std::size_t i = 0; i < total; ++i)
    if (!refused[i]) out.points.push_back(std::move(points[i]));
  mark_pareto_front(out.points);
  return out;
}

}  // namespace quorin::analysis
