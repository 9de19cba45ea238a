#include "balance/forcebalance.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "annotation/title.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

constexpr std::array<std::string_view, kCorners> kCornerNames = {"LF", "RF", "LR", "RR"};
enum Corner : std::size_t { LF = 0, RF = 1, LR = 2, RR = 3 };

constexpr std::string_view kLeftHandTurn = "Left Hand Turn";
constexpr std::string_view kRightHandTurn = "Right Hand Turn";
constexpr std::string_view kFrontShareLabel = "% Front";
constexpr std::string_view kAxisFontName = "times";
constexpr double kAxisFontSize = 10;
constexpr std::string_view kAxisFontAngle = "italic";

// The key: a square marker at x 0.05 and a text at x 0.1 per entry, top to bottom.
constexpr double kKeyMarkerX = 0.05;
constexpr double kKeyTextX = 0.1;
constexpr double kKeyFontSize = 7;
struct KeyEntry {
  double y;
  std::string_view colour;
  std::string_view lht_text, rht_text;
};
constexpr std::array<KeyEntry, 6> kKey = {{
    {0.98, "b", "RF Compression", "LF Compression"},
    {0.93, "r", "RR Compression", "LR Compression"},
    {0.88, "b", "LF Rebound", "RF Rebound"},
    {0.83, "r", "LR Rebound", "RR Rebound"},
    {0.78, "k", "Compression Balance", "Compression Balance"},
    {0.73, "g", "Rebound Balance", "Rebound Balance"},
}};
// Line colours in the force axes (compressing front, rear; extending front, rear) and in the
// balance axes (compression, rebound).
constexpr std::array<std::string_view, 4> kForceColours = {"b", "r", "b", "r"};
constexpr std::string_view kCompBalanceColour = "k";
constexpr std::string_view kRebBalanceColour = "g";

enum class Direction { Compression, Rebound };

std::string corner_name(std::size_t c) {
  return "curve " + std::to_string(c + 1) + " (" + std::string(kCornerNames[c]) + ")";
}

// The force at the first sample strictly faster than each velocity point.
std::vector<double> sample(const CornerCurves& corner, std::size_t c, Direction d,
                           const std::vector<double>& x) {
  const bool comp = d == Direction::Compression;
  const std::span<const double> velocity =
      comp ? corner.compression_velocity : corner.rebound_velocity;
  const std::span<const double> force = comp ? corner.compression_force : corner.rebound_force;
  const std::string_view what = comp ? "compression" : "rebound";
  std::vector<double> out;
  out.reserve(x.size());
  for (const double point : x) {
    // Velocities need not ascend, so each point searches from the first sample.
    const auto faster =
        std::find_if(velocity.begin(), velocity.end(), [point](double v) { return v > point; });
    const auto k = static_cast<std::size_t>(faster - velocity.begin());
    if (k == velocity.size())
      throw RuntimeError("The balance cannot use " + corner_name(c) + ": its " + std::string(what) +
                         " velocities never exceed " + num2str(point) +
                         (velocity.empty()
                              ? std::string(" (it has none)")
                              : "; the fastest is " +
                                    num2str(*std::max_element(velocity.begin(), velocity.end()))) +
                         ".");
    if (k >= force.size())
      throw RuntimeError("The balance cannot use " + corner_name(c) + ": it has fewer " +
                         std::string(what) + " forces than velocities.");
    out.push_back(force[k]);
  }
  return out;
}

// 100 x front / (front + rear); NaN where the pair sums to zero.
std::vector<double> front_share(const std::vector<double>& front, const std::vector<double>& rear) {
  std::vector<double> out(front.size());
  for (std::size_t i = 0; i < front.size(); ++i) {
    const double share = 100 * (front[i] / (front[i] + rear[i]));
    out[i] = std::isfinite(share) ? share : std::numeric_limits<double>::quiet_NaN();
  }
  return out;
}

double limit(const std::optional<double>& v, std::string_view name) {
  if (!v) throw RuntimeError("The axis limit " + std::string(name) + " is not a number.");
  return *v;
}

void check_axes(gfx::Model& m, gfx::Handle h, std::string_view name, std::string_view window) {
  if (!m.valid(h))
    throw RuntimeError("The " + std::string(window) + " window is closed: " + std::string(name) +
                       " is an invalid or deleted object.");
  if (m.get(h).kind() != gfx::Kind::Axes)
    throw RuntimeError(std::string(name) + " is not an axes of the " + std::string(window) +
                       " window.");
}

const annotation::PropertyPairs& axis_font() {
  static const annotation::PropertyPairs font = {
      {"FontName", Value::text(std::string(kAxisFontName))},
      {"FontSize", Value::number(kAxisFontSize)},
      {"FontAngle", Value::text(std::string(kAxisFontAngle))}};
  return font;
}

struct Turn {
  std::string_view title;
  gfx::Handle plot, balance, key;
  bool left;
};

void draw_turn(gfx::Model& m, const Turn& turn, const TurnBalance& t, const std::vector<double>& x,
               double ymin, double ymax, const BalanceScale& scale) {
  gfx::Window& window = m.figure(m.window_of(turn.plot).number);

  m.set_current_axes(turn.plot);
  gfx::Axes& forces = m.get<gfx::Axes>(turn.plot);
  const std::array<const std::vector<double>*, 4> rows = {&t.comp_front, &t.comp_rear, &t.reb_front,
                                                          &t.reb_rear};
  for (std::size_t k = 0; k < rows.size(); ++k) {
    m.plot(forces, x, *rows[k], kForceColours[k]);
    forces.hold = true;
    forces.xgrid = forces.ygrid = true;
  }
  annotation::title(m, std::string(turn.title), axis_font());
  annotation::ylabel(m, std::string(scale.force_label), axis_font());
  forces.xlim = {0, scale.top};
  forces.ylim = {ymin, ymax};
  forces.xlim_manual = forces.ylim_manual = true;
  window.zoom = true;

  m.set_current_axes(turn.balance);
  gfx::Axes& shares = m.get<gfx::Axes>(turn.balance);
  m.plot(shares, x, t.comp_balance, kCompBalanceColour);
  shares.hold = true;
  shares.xgrid = shares.ygrid = true;
  m.plot(shares, x, t.reb_balance, kRebBalanceColour);
  annotation::ylabel(m, std::string(kFrontShareLabel), axis_font());
  annotation::xlabel(m, std::string(scale.velocity_label), axis_font());
  shares.xlim_manual = shares.ylim_manual = false;
  window.zoom = true;

  m.set_current_axes(turn.key);
  gfx::Axes& key = m.get<gfx::Axes>(turn.key);
  for (std::size_t k = 0; k < kKey.size(); ++k) {
    const KeyEntry& e = kKey[k];
    const gfx::Color colour = *gfx::parse_line_spec(e.colour).color;
    const std::array<double, 1> mx{kKeyMarkerX}, my{e.y};
    gfx::Line& marker = m.plot(key, mx, my, "s");
    marker.color = colour;
    marker.marker_face = colour;
    marker.marker_edge = colour;
    if (k == 0) key.hold = true;
    gfx::Text& text =
        m.new_text(key, kKeyTextX, e.y, std::string(turn.left ? e.lht_text : e.rht_text));
    text.font_name = std::string(kAxisFontName);
    text.font_size = kKeyFontSize;
  }
  key.xlim = {0, 1};
  key.ylim = {0, 1};
  key.xlim_manual = key.ylim_manual = true;
  key.visible = false;
  m.touch();
}

}  // namespace

ForceBalance force_balance(std::span<const CornerCurves> corners, const BalanceScale& scale) {
  if (corners.size() < kCorners)
    throw RuntimeError("The balance needs four stored curves (LF, RF, LR, RR); " +
                       std::to_string(corners.size()) + (corners.size() == 1 ? " is" : " are") +
                       " stored.");
  ForceBalance b;
  b.x = range(0, scale.step, scale.top);
  auto at = [&](Corner c, Direction d) { return sample(corners[c], c, d, b.x); };
  // Left-hand turn: the right-hand corners compress, the left-hand corners extend.
  b.lht.comp_front = at(RF, Direction::Compression);
  b.lht.comp_rear = at(RR, Direction::Compression);
  b.lht.reb_front = at(LF, Direction::Rebound);
  b.lht.reb_rear = at(LR, Direction::Rebound);
  b.rht.comp_front = at(LF, Direction::Compression);
  b.rht.comp_rear = at(LR, Direction::Compression);
  b.rht.reb_front = at(RF, Direction::Rebound);
  b.rht.reb_rear = at(RR, Direction::Rebound);
  for (TurnBalance* t : {&b.lht, &b.rht}) {
    t->comp_balance = front_share(t->comp_front, t->comp_rear);
    t->reb_balance = front_share(t->reb_front, t->reb_rear);
  }
  return b;
}

void check_balance_axes(gfx::Model& m, const BalanceAxes& a) {
  check_axes(m, a.plothandle_lht, "plothandle_lht", kLeftHandTurn);
  check_axes(m, a.balance_lht, "balance_lht", kLeftHandTurn);
  check_axes(m, a.ID_lht, "ID_lht", kLeftHandTurn);
  check_axes(m, a.plothandle_rht, "plothandle_rht", kRightHandTurn);
  check_axes(m, a.balance_rht, "balance_rht", kRightHandTurn);
  check_axes(m, a.ID_rht, "ID_rht", kRightHandTurn);
}

void forcebalance(gfx::Model& m, std::span<const CornerCurves> corners, const BalanceAxes& axes,
                  const BalanceLimits& limits, const BalanceScale& scale) {
  const ForceBalance b = force_balance(corners, scale);
  check_balance_axes(m, axes);
  const double ymin = limit(limits.ymin, "ymin");
  const double ymax = limit(limits.ymax, "ymax");
  if (!(ymin < ymax)) throw RuntimeError("The axis limit ymin must be smaller than ymax.");

  draw_turn(m, {kLeftHandTurn, axes.plothandle_lht, axes.balance_lht, axes.ID_lht, true}, b.lht,
            b.x, ymin, ymax, scale);
  draw_turn(m, {kRightHandTurn, axes.plothandle_rht, axes.balance_rht, axes.ID_rht, false}, b.rht,
            b.x, ymin, ymax, scale);
  m.figure(1);
  m.touch();
}

void forcebalancemetric(gfx::Model& m, std::span<const CornerCurves> corners,
                        const BalanceAxes& axes, const BalanceLimits& limits) {
  forcebalance(m, corners, axes, limits, kMetricBalance);
}

void forcebalanceimperial(gfx::Model& m, std::span<const CornerCurves> corners,
                          const BalanceAxes& axes, const BalanceLimits& limits) {
  forcebalance(m, corners, axes, limits, kImperialBalance);
}

}  // namespace quorin
