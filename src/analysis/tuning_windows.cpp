#include "analysis/tuning_windows.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "analysis/tool_windows.h"
#include "analysis/window_parts.h"
#include "plotting/plotfunction.h"
#include "services/numeric.h"

namespace quorin::analysis {
namespace {

constexpr gfx::Color kGuideGrey{0.45, 0.45, 0.45};
constexpr gfx::Color kUnchangedGrey{0.6, 0.6, 0.6};
constexpr gfx::Color kCompressionBlue{0, 0, 1}, kReboundRed{1, 0, 0};
constexpr std::string_view kZeta = "\xCE\xB6";       // ζ
constexpr std::string_view kMiddleDot = "\xC2\xB7";  // ·

void set_limits(gfx::Axes& a, const std::array<double, 4>& l) {
  if (l[0] < l[1]) {
    a.xlim = {l[0], l[1]};
    a.xlim_manual = true;
  }
  if (l[2] < l[3]) {
    a.ylim = {l[2], l[3]};
    a.ylim_manual = true;
  }
}

std::string unit_text(std::string_view u) {
  return "(" + std::string(u) + ")";
}

int force_decimals(const ShownUnits& units) {
  return units.force == "N" ? 1 : 2;
}

void error_cells(CellTable& t, double first_column, double row, const FitError& e,
                 const ShownUnits& units) {
  const int d = force_decimals(units);
  t.cell(first_column, row, table_number(e.rms, d));
  t.cell(first_column + 1, row, table_number(e.percent, 2));
  t.cell(first_column + 2, row, std::to_string(e.points));
  for (std::size_t b = 0; b < e.band_rms.size(); ++b)
    t.cell(first_column + 3 + static_cast<double>(b), row, table_number(e.band_rms[b], d));
}

void error_headers(CellTable& t, double first_column, double row, const ShownUnits& units,
                   bool si) {
  const std::string force_unit = unit_text(units.force);
  t.cell(first_column, row, "RMS", true);
  t.cell(first_column, row + 1, force_unit, true);
  t.cell(first_column + 1, row, "RMS", true);
  t.cell(first_column + 1, row + 1, "(%)", true);
  t.cell(first_column + 2, row, "points", true);
  t.cell(first_column + 2, row + 1, "compared", true);
  const std::array<std::string, 4> bands = band_names(si);
  for (std::size_t b = 0; b < bands.size(); ++b) {
    t.cell(first_column + 3 + static_cast<double>(b), row,
           bands[b] + " " + std::string(units.velocity), true);
    t.cell(first_column + 3 + static_cast<double>(b), row + 1, force_unit, true);
  }
}

// The colour stored curve `number` is drawn in on the comparison window.
gfx::Color curve_colour(int number) {
  const std::size_t i = static_cast<std::size_t>(std::max(number, 1) - 1) % kLinestyle.size();
  return *gfx::parse_line_spec(kLinestyle[i]).color;
}

// "LSC 7  HSC 11", or "none" for a side without a best candidate.
std::string best_text(const SideSearch& side, std::string_view low, std::string_view high) {
  if (side.best.empty()) return "none";
  return std::string(low) + " " + side.best[0].low_click + "  " + std::string(high) + " " +
         side.best[0].high_click;
}

std::string clicks_text(const Candidate& c) {
  std::string s = c.high_click;
  for (const std::string& other : c.same_high_clicks) s += "/" + other;
  return s;
}

}  // namespace

std::string table_number(double v, int decimals) {
  if (std::isnan(v)) return {};
  return fixed_number(v, decimals);
}

gfx::Color ramp_colour(std::size_t i, std::size_t n) {
  const double t = n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0;
  // blue through violet to red, with a little green in the middle to tell neighbours apart
  return {t, 0.45 * (1 - std::abs(2 * t - 1)), 1 - t};
}

gfx::Window& show_sweep_window(gfx::Model& m, const ClickerSweep& sweep, const ShownUnits& units,
                               const std::array<double, 4>& limits,
                               const std::string& copy_command) {
  constexpr double kWidth = 1040, kHeight = 680;
  gfx::Window& w = open_tool_window(m, kSweepWindowName, {100, 60, kWidth, kHeight});
  const std::string name(adjuster_name(sweep.adjuster));
  const bool compression = adjusts_compression(sweep.adjuster);
  const std::size_t n = sweep.curves.size();

  gfx::Axes& plot = tool_plot_axes(m, w, kSweepAxesTag, {0.07, 0.09, 0.5, 0.83});
  std::string title = "Clicker sweep: " + name;
  if (n) title += " " + sweep.curves.front().click + " to " + sweep.curves.back().click;
  set_axis_label(m, plot.title, title);
  set_axis_label(m, plot.xlabel, "Velocity " + unit_text(units.velocity));
  set_axis_label(m, plot.ylabel, "Force " + unit_text(units.force));
  if (n) {
    // The other side is the same for every click: drawn once, grey, behind the family.
    const DamperCurve& first = sweep.curves.front().curve;
    if (compression)
      tool_line(m, plot, first.rebound_velocity, first.rebound_force, kUnchangedGrey, "-");
    else
      tool_line(m, plot, first.compression_velocity, first.compression_force, kUnchangedGrey, "-");
  }
  for (std::size_t i = 0; i < n; ++i) {
    const DamperCurve& c = sweep.curves[i].curve;
    tool_line(m, plot, compression ? c.compression_velocity : c.rebound_velocity,
              compression ? c.compression_force : c.rebound_force, ramp_colour(i, n), "-");
  }
  set_limits(plot, limits);

  tool_button(m, w, "Copy", "CopySweep", {kWidth - 110, kHeight - 36, 90, 24}, copy_command,
              "Copies the table of forces against clicks, tab-separated.");

  const double columns = 5, rows = 2 + static_cast<double>(n);
  const double table_height = std::min(0.83, rows * 17 / kHeight);
  CellTable t(m, w, kSweepTableTag, {0.62, 0.92 - table_height, 0.36, table_height}, columns, rows);
  t.cell(0, 0, name, true);
  t.cell(0, 1, "click", true);
  const int d = force_decimals(units);
  for (std::size_t k = 0; k < sweep.velocity.size(); ++k) {
    t.cell(1 + static_cast<double>(k), 0,
           exact_number(sweep.velocity[k]) + " " + std::string(units.velocity), true);
    t.cell(1 + static_cast<double>(k), 1, unit_text(units.force), true);
  }
  for (std::size_t i = 0; i < n; ++i) {
    const double row = 2 + static_cast<double>(i);
    t.swatch(0, row, ramp_colour(i, n));
    t.cell(0, row, sweep.curves[i].click);
    for (std::size_t k = 0; k < sweep.velocity.size(); ++k)
      if (const auto& f = sweep.force[i][k])
        t.cell(1 + static_cast<double>(k), row, table_number(*f, d));
  }
  t.rule_below(2);
  t.frame();
  keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

gfx::Window& show_closest_window(gfx::Model& m, const ClosestSetup& found,
                                 const MeasuredSides& measured,
                                 const std::array<std::vector<double>, 4>& best_curves,
                                 const ShownUnits& units, bool si,
                                 const std::array<double, 4>& limits,
                                 const std::string& use_command) {
  constexpr double kWidth = 1040, kHeight = 720;
  gfx::Window& w = open_tool_window(m, kClosestWindowName, {120, 50, kWidth, kHeight});

  gfx::Axes& plot = tool_plot_axes(m, w, kClosestAxesTag, {0.08, 0.56, 0.62, 0.38});
  set_axis_label(m, plot.title, "Closest set-up to the dyno curve");
  set_axis_label(m, plot.xlabel, "Velocity " + unit_text(units.velocity));
  set_axis_label(m, plot.ylabel, "Force " + unit_text(units.force));
  tool_line(m, plot, measured.compression_velocity, measured.compression_force, {0, 0, 0}, "none")
      .marker = ".";
  tool_line(m, plot, measured.rebound_velocity, measured.rebound_force, {0, 0, 0}, "none").marker =
      ".";
  tool_line(m, plot, best_curves[0], best_curves[1], kCompressionBlue, "-");
  tool_line(m, plot, best_curves[2], best_curves[3], kReboundRed, "-");
  set_limits(plot, limits);

  // The key beside the plot.
  gfx::Axes& key = tool_key_axes(m, w, {0.73, 0.56, 0.25, 0.38});
  auto key_text = [&](double y, std::string s) {
    gfx::Text& t = m.new_text(key, 0.18, y, std::move(s));
    t.font_name = "times";
    t.font_size = 9;
  };
  tool_line(m, key, {0.02, 0.14}, {0.9, 0.9}, {0, 0, 0}, "none").marker = ".";
  key_text(0.9, "dyno curve (measured points)");
  tool_line(m, key, {0.02, 0.14}, {0.8, 0.8}, kCompressionBlue, "-");
  key_text(0.8, "best compression: " + best_text(found.compression, "LSC", "HSC"));
  // Why a side has no best, on the line below it.
  if (found.compression.best.empty()) key_text(0.75, "(" + found.compression.why_none + ")");
  tool_line(m, key, {0.02, 0.14}, {0.7, 0.7}, kReboundRed, "-");
  key_text(0.7, "best rebound: " + best_text(found.rebound, "LSR", "HSR"));
  if (found.rebound.best.empty()) key_text(0.65, "(" + found.rebound.why_none + ")");
  key_text(0.58, std::to_string(found.compression.tried) + " compression and " +
                     std::to_string(found.rebound.tried) + " rebound curves");
  key_text(0.5, "compared with the measured points");
  if (measured.not_finite > 0)
    key_text(0.42, std::to_string(measured.not_finite) +
                       (measured.not_finite == 1 ? " sample" : " samples") +
                       " left out: not a finite number");
  tool_button(m, w, "Set best clicks", "UseBest", {kWidth * 0.73, kHeight * 0.56 + 10, 150, 26},
              use_command,
              "Sets the main window's LSC, HSC, Rebound: LSR x HSR to the best of each side.");

  // Two tables: compression above, rebound below; 2 header rows and 5 candidates each.
  const double columns = 10;
  const std::array<const SideSearch*, 2> sides = {&found.compression, &found.rebound};
  const std::array<std::string, 2> low_names = {"LSC", "LSR"}, high_names = {"HSC", "HSR"};
  const std::array<std::string, 2> side_names = {"Compression", "Rebound"};
  for (std::size_t s = 0; s < sides.size(); ++s) {
    const double rows = 7;
    const double height = rows * 17 / kHeight;
    const double top = (s == 0 ? 0.50 : 0.25);
    CellTable t(m, w, kClosestTableTag, {0.04, top - height, 0.92, height}, columns, rows);
    t.cell(0, 0, side_names[s], true, "left");
    t.cell(0, 1, "rank", true, "left");
    t.cell(1, 0, low_names[s], true);
    t.cell(2, 0, high_names[s], true);
    error_headers(t, 3, 0, units, si);
    for (std::size_t r = 0; r < sides[s]->best.size(); ++r) {
      const Candidate& c = sides[s]->best[r];
      const double row = 2 + static_cast<double>(r);
      t.cell(0, row, std::to_string(r + 1), false, "left");
      t.cell(1, row, c.low_click);
      t.cell(2, row, clicks_text(c));
      error_cells(t, 3, row, c.error, units);
    }
    t.rule_below(2);
    t.frame();
  }
  keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

gfx::Window& show_dyno_error_window(gfx::Model& m, const std::vector<CurveError>& rows,
                                    const ShownUnits& units, bool si, const std::string& caption) {
  const double n = static_cast<double>(rows.size());
  const double height = std::max(200.0, 90 + (2 + n) * 17);
  gfx::Window& w = open_tool_window(m, kDynoErrorWindowName, {140, 100, 940, height});
  gfx::Control& text = m.new_control(w, gfx::Control::Style::Text);
  text.string = caption;
  text.position = {20, height - 30, 900, 20};
  text.background = w.color;
  text.font_name = "arial";
  text.horizontal_alignment = "left";
  const double columns = 9, table_rows = 2 + n;
  const double h = table_rows * 17 / height;
  CellTable t(m, w, kDynoErrorTableTag, {0.03, 0.86 - h, 0.94, h}, columns, table_rows);
  t.cell(0, 0, "Curve", true, "left");
  t.cell(1, 0, "Side", true, "left");
  error_headers(t, 2, 0, units, si);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const double row = 2 + static_cast<double>(r);
    t.cell(0, row, std::to_string(rows[r].number), false, "left");
    t.cell(1, row, std::string(side_name(rows[r].side)), false, "left");
    error_cells(t, 2, row, rows[r].error, units);
  }
  t.rule_below(2);
  t.frame();
  keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

gfx::Window& show_ratio_window(gfx::Model& m, const std::vector<RatioCurve>& curves,
                               const ShownUnits& units, double mass_kg, double rate_n_per_mm,
                               double cc) {
  gfx::Window& w = open_tool_window(m, kRatioWindowName, {160, 70, 820, 640});
  gfx::Axes& comp = tool_plot_axes(m, w, kRatioCompressionTag, {0.1, 0.53, 0.7, 0.36});
  gfx::Axes& reb = tool_plot_axes(m, w, kRatioReboundTag, {0.1, 0.08, 0.7, 0.36});
  const std::string zeta(kZeta);
  set_axis_label(
      m, comp.title,
      "Damping ratio at the wheel, " + zeta + " = (F / v) / c_c:  m = " + num2str(mass_kg) +
          " kg,  k = " + num2str(rate_n_per_mm) + " N/mm,  c_c = " + table_number(cc, 1) + " N" +
          std::string(kMiddleDot) + "s/m");
  set_axis_label(m, comp.ylabel, zeta + " compression");
  set_axis_label(m, reb.ylabel, zeta + " rebound");
  set_axis_label(m, reb.xlabel, "Velocity " + unit_text(units.velocity));
  double top = 1.2, right = 0;
  for (const RatioCurve& c : curves) {
    gfx::Axes& a = c.side == Side::Compression ? comp : reb;
    tool_line(m, a, c.velocity, c.ratio, curve_colour(c.number), "-");
    if (!c.velocity.empty()) right = std::max(right, c.velocity.back());
    for (double r : c.ratio)
      if (std::isfinite(r)) top = std::max(top, std::min(r, 5.0));
  }
  if (!(right > 0)) right = 1;
  for (gfx::Axes* a : {&comp, &reb}) {
    double labelled = -top;
    for (double z : kGuideRatios) {
      tool_line(m, *a, {0, right}, {z, z}, kGuideGrey, ":");
      // Labels closer than a twentieth of the axes' height would overlap.
      if (z - labelled < top / 20) continue;
      labelled = z;
      gfx::Text& t = m.new_text(*a, right, z, zeta + " = " + num2str(z));
      t.horizontal_alignment = "left";
      t.font_size = 8;
      t.color = kGuideGrey;
    }
    a->xlim = {0, right};
    a->ylim = {0, top};
    a->xlim_manual = a->ylim_manual = true;
  }
  // The key: curve numbers in their colours.
  gfx::Axes& key = tool_key_axes(m, w, {0.86, 0.3, 0.12, 0.5});
  int shown = 0;
  for (const RatioCurve& c : curves) {
    if (c.side != Side::Compression) continue;
    const double y = 0.95 - 0.1 * shown++;
    tool_line(m, key, {0, 0.3}, {y, y}, curve_colour(c.number), "-").line_width = 2;
    gfx::Text& t = m.new_text(key, 0.4, y, "Curve " + std::to_string(c.number));
    t.font_size = 8;
  }
  keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

std::vector<gfx::Object*> damping_guide_objects(gfx::Model& m, const gfx::Axes& axes) {
  std::vector<gfx::Object*> out;
  for (gfx::Handle h : axes.children())
    if (gfx::Object* o = m.find(h); o && o->tag == kGuideTag) out.push_back(o);
  return out;
}

void draw_damping_guides(gfx::Model& m, gfx::Axes& axes, const std::vector<GuideLine>& lines) {
  for (gfx::Object* o : damping_guide_objects(m, axes)) m.delete_object(o->handle());
  const std::string zeta(kZeta);
  std::vector<gfx::Handle> drawn;
  for (const GuideLine& g : lines) {
    gfx::Line& l = m.new_line(axes, {g.velocity[0], g.velocity[1]}, {g.force[0], g.force[1]});
    l.color = kGuideGrey;
    l.line_style = ":";
    l.tag = std::string(kGuideTag);
    drawn.push_back(l.handle());
    // The label sits just inside where the line leaves the axes' limits.
    const double slope = (g.force[1] - g.force[0]) / (g.velocity[1] - g.velocity[0]);
    const double edge = g.compression ? axes.ylim[1] : axes.ylim[0];
    double v = g.velocity[1];
    if (slope != 0 && std::abs(edge) > 0 && std::abs(edge / slope) < v) v = edge / slope;
    v = std::max(axes.xlim[0], std::min(v, axes.xlim[1])) * 0.96;
    gfx::Text& t = m.new_text(axes, v, slope * v, zeta + " = " + num2str(g.zeta));
    t.tag = std::string(kGuideTag);
    t.color = kGuideGrey;
    t.font_size = 7;
    t.horizontal_alignment = "right";
    t.vertical_alignment = g.compression ? "bottom" : "top";
    drawn.push_back(t.handle());
  }
  // Behind the curves: the first children are drawn first.
  for (auto it = drawn.rbegin(); it != drawn.rend(); ++it) m.send_to_back(*it);
  m.touch();
}

}  // namespace quorin::analysis
