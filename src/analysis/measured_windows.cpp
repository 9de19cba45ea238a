#include "analysis/measured_windows.h"

#include <algorithm>
#include <cmath>

#include "analysis/tool_windows.h"
#include "analysis/tuning_windows.h"
#include "analysis/window_parts.h"
#include "services/numeric.h"

namespace quorin::analysis {
namespace {

constexpr gfx::Color kCompressionBlue{0, 0, 1}, kReboundRed{1, 0, 0}, kBlack{0, 0, 0};
constexpr gfx::Color kSpreadGrey{0.45, 0.45, 0.45};
constexpr double kMillimetresPerMetre = 1000;
constexpr double kInchesPerMetre = 39.37007874015748;
// Corner colours of the bands: front left, front right, rear left, rear right.
constexpr std::array<gfx::Color, 4> kCornerColours = {
    {{0.15, 0.45, 0.85}, {0.85, 0.35, 0.15}, {0.2, 0.65, 0.3}, {0.6, 0.3, 0.7}}};
constexpr std::array<std::string_view, 4> kCornerShort = {"FL", "FR", "RL", "RR"};

std::string unit_text(std::string_view u) {
  return "(" + std::string(u) + ")";
}
bool si_units(const ShownUnits& u) {
  return u.force == "N";
}
int force_decimals(const ShownUnits& units) {
  return si_units(units) ? 1 : 2;
}
double shown_velocity(double mps, const ShownUnits& u) {
  return mps * u.factors.velocity;
}
double shown_force(double n, const ShownUnits& u) {
  return n / u.factors.force;
}
double shown_length(double m, const ShownUnits& u) {
  return m * (si_units(u) ? kMillimetresPerMetre : kInchesPerMetre);
}
std::string_view length_unit(const ShownUnits& u) {
  return si_units(u) ? "mm" : "in";
}
std::vector<double> scaled(const std::vector<double>& v, double f) {
  std::vector<double> out(v.size());
  for (std::size_t k = 0; k < v.size(); ++k) out[k] = v[k] * f;
  return out;
}

double mean_or_nan(const std::vector<double>& v) {
  double s = 0;
  std::size_t n = 0;
  for (double x : v)
    if (!std::isnan(x)) {
      s += x;
      ++n;
    }
  return n ? s / static_cast<double>(n) : std::nan("");
}

// One run's row of figures in the units shown, as both the table and the copied text have it.
std::vector<std::string> run_cells(const measured::RunCurves& r, const ShownUnits& u) {
  const int d = force_decimals(u);
  auto point = [&](const measured::PeakPoint& p, std::vector<std::string>& out) {
    if (!p.strokes) {
      out.insert(out.end(), {"", "", ""});
      return;
    }
    out.push_back(table_number(shown_velocity(p.velocity, u), 3));
    out.push_back(table_number(shown_force(p.force, u), d));
    out.push_back(table_number(shown_force(p.spread, u), d));
  };
  std::vector<std::string> cells = {r.name, table_number(r.rate_hz, 0)};
  if (r.static_hold) {
    cells.insert(cells.end(), {"static hold", "", "", "", "", "", "", ""});
    return cells;
  }
  point(r.compression, cells);
  point(r.rebound, cells);
  cells.push_back(table_number(mean_or_nan(r.cycle_energy_j), 2));
  cells.push_back(table_number(mean_or_nan(r.cycle_temperature_c), 1));
  return cells;
}

std::vector<std::string> run_headers(const ShownUnits& u) {
  const std::string v = unit_text(u.velocity), f = unit_text(u.force);
  return {"Run",
          "Rate (Hz)",
          "Comp. v " + v,
          "Comp. F " + f,
          "Spread " + f,
          "Reb. v " + v,
          "Reb. F " + f,
          "Spread " + f,
          "Energy/cycle (J)",
          "Temp. (\xC2\xB0"
          "C)"};
}

std::string gas_line(const DynoRunShown& run, const ShownUnits& u) {
  return "Gas force " + table_number(shown_force(run.processed.gas_force_n, u), force_decimals(u)) +
         " " + std::string(u.force) + ", from " + run.processed.gas_from +
         (run.less_gas ? "; taken off the curve" : "; left in the curve");
}
std::string friction_line(const DynoRunShown& run, const ShownUnits& u) {
  if (!run.processed.friction_found) return "Seal friction not found";
  return "Seal friction " +
         table_number(shown_force(run.processed.friction_n, u), force_decimals(u)) + " " +
         std::string(u.force) + " each way" +
         (run.less_friction ? "; taken off the curve" : "; left in the curve");
}

gfx::Text& key_text(gfx::Model& m, gfx::Axes& key, double y, std::string s) {
  gfx::Text& t = m.new_text(key, 0.0, y, std::move(s));
  t.font_name = "times";
  t.font_size = 9;
  return t;
}

}  // namespace

std::string dyno_run_tsv(const DynoRunShown& run, const ShownUnits& units) {
  std::string out = "File\t" + run.file + "\n";
  out += "Gas force " + unit_text(units.force) + "\t" +
         table_number(shown_force(run.processed.gas_force_n, units), force_decimals(units)) + "\t" +
         run.processed.gas_from + "\n";
  out += "Seal friction " + unit_text(units.force) + "\t" +
         (run.processed.friction_found
              ? table_number(shown_force(run.processed.friction_n, units), force_decimals(units))
              : std::string()) +
         "\n";
  out += std::string("Taken off the curve\t") + (run.less_gas ? "gas force" : "") +
         (run.less_gas && run.less_friction ? ", " : "") + (run.less_friction ? "friction" : "") +
         "\n";
  std::vector<std::string> h = run_headers(units);
  for (std::size_t k = 0; k < h.size(); ++k) out += (k ? "\t" : "") + h[k];
  out += "\n";
  for (const measured::RunCurves& r : run.processed.runs) {
    const std::vector<std::string> cells = run_cells(r, units);
    for (std::size_t k = 0; k < cells.size(); ++k) out += (k ? "\t" : "") + cells[k];
    out += "\n";
  }
  return out;
}

gfx::Window& show_dyno_run_window(gfx::Model& m, const DynoRunShown& run, const ShownUnits& units,
                                  const std::string& copy_command) {
  constexpr double kWidth = 1120, kHeight = 760;
  gfx::Window& w = open_tool_window(m, kDynoRunWindowName, {90, 40, kWidth, kHeight});
  const std::vector<measured::RunCurves>& runs = run.processed.runs;
  const std::size_t n = runs.size();
  const std::string vu = unit_text(units.velocity), fu = unit_text(units.force),
                    xu = unit_text(length_unit(units));

  // Loops per speed, one colour per run along the sweep's ramp.
  gfx::Axes& fx = tool_plot_axes(m, w, kLoopsForceDisplacementTag, {0.05, 0.55, 0.27, 0.38});
  set_axis_label(m, fx.title, "Force against displacement, one cycle per run");
  set_axis_label(m, fx.xlabel, "Displacement " + xu);
  set_axis_label(m, fx.ylabel, "Force " + fu);
  gfx::Axes& fv = tool_plot_axes(m, w, kLoopsForceVelocityTag, {0.38, 0.55, 0.27, 0.38});
  set_axis_label(m, fv.title, "Force against velocity");
  set_axis_label(m, fv.xlabel, "Velocity " + vu);
  for (std::size_t i = 0; i < n; ++i) {
    const measured::RunCurves& r = runs[i];
    if (r.loop_x.empty()) continue;
    std::vector<double> x(r.loop_x.size()), v(r.loop_v.size()), f(r.loop_f.size());
    for (std::size_t k = 0; k < x.size(); ++k) {
      x[k] = shown_length(r.loop_x[k], units);
      v[k] = shown_velocity(r.loop_v[k], units);
      f[k] = shown_force(r.loop_f[k], units);
    }
    tool_line(m, fx, x, f, ramp_colour(i, n), "-");
    tool_line(m, fv, v, f, ramp_colour(i, n), "-");
  }

  // The peak-velocity curve with its spread, over the absolute-velocity curve.
  gfx::Axes& pc = tool_plot_axes(m, w, kPeakCurveTag, {0.71, 0.55, 0.27, 0.38});
  set_axis_label(m, pc.title, "Peak-velocity curve (points) and absolute-velocity curve");
  set_axis_label(m, pc.xlabel, "Velocity " + vu);
  const measured::AbsoluteCurve& a = run.processed.absolute;
  const std::vector<double> speed = scaled(a.speed, units.factors.velocity);
  // Drawn with the same corrections as the points: the gas force and the friction (against
  // the motion: up in compression, down in rebound) taken off when they are off the curve.
  const double gas = run.less_gas ? run.processed.gas_force_n : 0;
  const double friction =
      run.less_friction && run.processed.friction_found ? run.processed.friction_n : 0;
  auto corrected = [&](const std::vector<double>& f, double off) {
    std::vector<double> out(f.size());
    for (std::size_t k = 0; k < f.size(); ++k) out[k] = shown_force(f[k] - off, units);
    return out;
  };
  tool_line(m, pc, speed, corrected(a.compression_accelerating, gas + friction), kCompressionBlue,
            "-");
  tool_line(m, pc, speed, corrected(a.compression_decelerating, gas + friction), kCompressionBlue,
            ":");
  tool_line(m, pc, speed, corrected(a.rebound_accelerating, gas - friction), kReboundRed, "-");
  tool_line(m, pc, speed, corrected(a.rebound_decelerating, gas - friction), kReboundRed, ":");
  std::vector<double> px, py;
  for (std::size_t k = 0; k < run.curve.velocity.size(); ++k) {
    if (run.curve.velocity[k] == 0) continue;
    const double v = std::abs(shown_velocity(run.curve.velocity[k], units));
    const double f = shown_force(run.curve.force[k], units);
    const double s = shown_force(run.curve.spread[k], units);
    px.push_back(v);
    py.push_back(f);
    tool_line(m, pc, {v, v}, {f - s, f + s}, kSpreadGrey, "-");
    if (!std::isnan(run.curve.temperature[k])) {
      gfx::Text& t = m.new_text(pc, v, f,
                                " " + table_number(run.curve.temperature[k], 0) +
                                    "\xC2\xB0"
                                    "C");
      t.font_size = 7;
      t.color = kSpreadGrey;
    }
  }
  gfx::Line& points = tool_line(m, pc, px, py, kBlack, "none");
  points.marker = "o";
  points.marker_size = 5;

  // The key and what was found.
  gfx::Axes& key = tool_key_axes(m, w, {0.05, 0.36, 0.9, 0.12});
  key_text(m, key, 0.9, "File " + run.file);
  key_text(m, key, 0.65, gas_line(run, units));
  key_text(m, key, 0.4, friction_line(run, units));
  key_text(m, key, 0.15,
           "Absolute-velocity curve: accelerating solid, decelerating dotted; compression blue, "
           "rebound red. Points: each run's peak velocity, the bar its spread over the strokes.");
  for (std::size_t k = 0; k < run.notes.size() && k < 2; ++k)
    key_text(m, key, -0.15 - 0.25 * static_cast<double>(k), run.notes[k]).color = kReboundRed;

  tool_button(m, w, "Copy", "CopyDynoRun", {kWidth - 110, 12, 90, 24}, copy_command,
              "Copies the figures of every run, tab-separated.");

  // One row per run.
  const std::vector<std::string> headers = run_headers(units);
  const double columns = static_cast<double>(headers.size()), rows = 1 + static_cast<double>(n);
  const double height = std::min(0.26, rows * 17 / kHeight);
  CellTable t(m, w, kDynoRunTableTag, {0.03, 0.31 - height, 0.94, height}, columns, rows);
  for (std::size_t c = 0; c < headers.size(); ++c)
    t.cell(static_cast<double>(c), 0, headers[c], true);
  for (std::size_t i = 0; i < n; ++i) {
    const std::vector<std::string> cells = run_cells(runs[i], units);
    t.swatch(0, 1 + static_cast<double>(i), ramp_colour(i, n));
    for (std::size_t c = 0; c < cells.size(); ++c)
      t.cell(static_cast<double>(c), 1 + static_cast<double>(i), cells[c]);
  }
  t.rule_below(1);
  t.frame();
  keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

gfx::Window& show_whole_setup_window(gfx::Model& m, const WholeSetup& found,
                                     const MeasuredSides& measured,
                                     const std::array<std::vector<double>, 4>& best_curves,
                                     const ShownUnits& units, bool si,
                                     const std::string& use_command) {
  constexpr double kWidth = 1100, kHeight = 720;
  gfx::Window& w = open_tool_window(m, kWholeSetupWindowName, {110, 50, kWidth, kHeight});
  gfx::Axes& plot = tool_plot_axes(m, w, "wholesetup", {0.08, 0.56, 0.6, 0.38});
  set_axis_label(m, plot.title, "Whole set-up fitted to the dyno curve");
  set_axis_label(m, plot.xlabel, "Velocity " + unit_text(units.velocity));
  set_axis_label(m, plot.ylabel, "Force " + unit_text(units.force));
  tool_line(m, plot, measured.compression_velocity, measured.compression_force, kBlack, "none")
      .marker = "o";
  tool_line(m, plot, measured.rebound_velocity, measured.rebound_force, kBlack, "none").marker =
      "o";
  tool_line(m, plot, best_curves[0], best_curves[1], kCompressionBlue, "-");
  tool_line(m, plot, best_curves[2], best_curves[3], kReboundRed, "-");

  gfx::Axes& key = tool_key_axes(m, w, {0.72, 0.62, 0.26, 0.32});
  // Each side's best in two lines: the valve, then the spring and the clicks.
  auto best_lines = [](const WholeSide& s, std::string_view low, std::string_view high) {
    if (!s.searched) return std::array<std::string, 2>{"not searched", ""};
    if (s.best.empty()) return std::array<std::string, 2>{"none", "(" + s.why_none + ")"};
    const WholeCandidate& b = s.best.front();
    return std::array<std::string, 2>{
        b.valve_text, b.spring_text + ", " + std::string(low) + " " + b.clicks.low_click + ", " +
                          std::string(high) + " " + b.clicks.high_click};
  };
  const std::array<std::string, 2> bc = best_lines(found.compression, "LSC", "HSC");
  const std::array<std::string, 2> br = best_lines(found.rebound, "LSR", "HSR");
  key_text(m, key, 0.95, "Best compression:").color = kCompressionBlue;
  key_text(m, key, 0.86, bc[0]);
  key_text(m, key, 0.78, bc[1]);
  key_text(m, key, 0.66, "Best rebound:").color = kReboundRed;
  key_text(m, key, 0.57, br[0]);
  key_text(m, key, 0.49, br[1]);
  key_text(m, key, 0.36,
           std::to_string(found.compression.tried) + " compression and " +
               std::to_string(found.rebound.tried) + " rebound curves compared");
  tool_button(m, w, "Set whole set-up", "UseWholeSetup",
              {kWidth * 0.72, kHeight * 0.56 + 10, 170, 26}, use_command,
              "Sets the main window's valves, springs and clicks to the best of each side.");

  const std::array<const WholeSide*, 2> sides = {&found.compression, &found.rebound};
  const std::array<std::string, 2> names = {"Compression", "Rebound"};
  const std::array<std::string, 2> low = {"LSC", "LSR"}, high = {"HSC", "HSR"};
  const int d = force_decimals(units);
  const std::array<std::string, 4> bands = band_names(si);
  for (std::size_t s = 0; s < 2; ++s) {
    const double rows = 7, columns = 13;
    const double height = rows * 17 / kHeight;
    const double top = s == 0 ? 0.5 : 0.25;
    CellTable t(m, w, kWholeSetupTableTag, {0.02, top - height, 0.96, height}, columns, rows);
    t.cell(0, 0, names[s], true, "left");
    t.cell(0, 1, "rank", true, "left");
    // The valve takes three columns: its name and its shim stack.
    t.cell(1, 0, "Valve", true, "left");
    t.cell(3.8, 0, "Spring", true, "left");
    t.cell(5, 0, low[s], true);
    t.cell(6, 0, high[s], true);
    t.cell(7, 0, "RMS", true);
    t.cell(7, 1, unit_text(units.force), true);
    t.cell(8, 0, "RMS", true);
    t.cell(8, 1, "(%)", true);
    for (std::size_t b = 0; b < 4; ++b) {
      t.cell(9 + static_cast<double>(b), 0, bands[b] + " " + std::string(units.velocity), true);
      t.cell(9 + static_cast<double>(b), 1, unit_text(units.force), true);
    }
    for (std::size_t r = 0; r < sides[s]->best.size(); ++r) {
      const WholeCandidate& c = sides[s]->best[r];
      const double row = 2 + static_cast<double>(r);
      t.cell(0, row, std::to_string(r + 1), false, "left");
      t.cell(1, row, c.valve_text, false, "left");
      t.cell(3.8, row, c.spring_text, false, "left");
      t.cell(5, row, c.clicks.low_click);
      t.cell(6, row, c.clicks.high_click);
      t.cell(7, row, table_number(c.clicks.error.rms, d));
      t.cell(8, row, table_number(c.clicks.error.percent, 2));
      for (std::size_t b = 0; b < 4; ++b)
        t.cell(9 + static_cast<double>(b), row, table_number(c.clicks.error.band_rms[b], d));
    }
    t.rule_below(2);
    t.frame();
  }
  keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

std::string track_tsv(const std::vector<measured::CornerHistogram>& h, const ShownUnits& units) {
  std::string out = "Corner\tSide";
  for (std::string_view b : measured::kBandNames) out += "\t" + std::string(b) + " mm/s (%)";
  for (double share : measured::kTimeShares)
    out += "\t" + num2str(100 * share) + " % below " + unit_text(units.velocity);
  out += "\n";
  for (const measured::CornerHistogram& c : h) {
    for (bool comp : {true, false}) {
      out += std::string(measured::kCornerNames[static_cast<std::size_t>(c.corner)]) + "\t" +
             (comp ? "compression" : "rebound");
      for (double p : comp ? c.compression_percent : c.rebound_percent)
        out += "\t" + table_number(p, 1);
      for (double s : c.speed_below)
        out += "\t" + (comp ? table_number(shown_velocity(s, units), 3) : "");
      out += "\n";
    }
  }
  return out;
}

gfx::Window& show_track_window(gfx::Model& m, const std::vector<measured::CornerHistogram>& h,
                               const ShownUnits& units, const std::string& file) {
  constexpr double kWidth = 980;
  const double rows = 1 + 2 * static_cast<double>(h.size());
  const double height = std::max(220.0, 90 + rows * 18);
  gfx::Window& w = open_tool_window(m, kTrackWindowName, {150, 90, kWidth, height});
  gfx::Control& caption = m.new_control(w, gfx::Control::Style::Text);
  caption.string = "Damper velocity histogram of " + file +
                   ": percent of the logged time in each band, and the speeds below which 50, 90 "
                   "and 99 % of the time is spent.";
  caption.position = {20, height - 30, kWidth - 40, 20};
  caption.background = w.color;
  caption.font_name = "arial";
  caption.horizontal_alignment = "left";
  const double columns = 10;
  const double th = rows * 18 / height;
  CellTable t(m, w, kTrackTableTag, {0.02, 0.86 - th, 0.96, th}, columns, rows);
  t.cell(0, 0, "Corner", true, "left");
  t.cell(1, 0, "Side", true, "left");
  for (std::size_t b = 0; b < measured::kBandNames.size(); ++b)
    t.cell(2 + static_cast<double>(b), 0, std::string(measured::kBandNames[b]) + " mm/s", true);
  for (std::size_t s = 0; s < measured::kTimeShares.size(); ++s)
    t.cell(7 + static_cast<double>(s), 0,
           num2str(100 * measured::kTimeShares[s]) + " % " + std::string(units.velocity), true);
  double row = 1;
  for (const measured::CornerHistogram& c : h) {
    const auto corner = static_cast<std::size_t>(c.corner);
    for (bool comp : {true, false}) {
      if (comp) {
        t.swatch(0, row, kCornerColours[corner]);
        t.cell(0, row, std::string(kCornerShort[corner]));
      }
      t.cell(1, row, comp ? "compression" : "rebound", false, "left");
      const auto& p = comp ? c.compression_percent : c.rebound_percent;
      for (std::size_t b = 0; b < p.size(); ++b)
        t.cell(2 + static_cast<double>(b), row, table_number(p[b], 1) + " %");
      if (comp)
        for (std::size_t s = 0; s < c.speed_below.size(); ++s)
          t.cell(7 + static_cast<double>(s), row,
                 table_number(shown_velocity(c.speed_below[s], units), 3));
      ++row;
    }
  }
  t.rule_below(1);
  t.frame();
  keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

std::vector<gfx::Object*> track_band_objects(gfx::Model& m, const gfx::Axes& axes) {
  std::vector<gfx::Object*> out;
  for (gfx::Handle h : axes.children())
    if (gfx::Object* o = m.find(h); o && o->tag == kTrackBandTag) out.push_back(o);
  return out;
}

void draw_track_bands(gfx::Model& m, gfx::Axes& axes,
                      const std::vector<measured::CornerHistogram>& h, const ShownUnits& units) {
  for (gfx::Object* o : track_band_objects(m, axes)) m.delete_object(o->handle());
  std::vector<gfx::Handle> drawn;
  const double bottom = axes.ylim[0], span = axes.ylim[1] - axes.ylim[0];
  // Lighter the rarer: 0-50 % of the time darkest, 90-99 % lightest.
  constexpr std::array<double, 3> kShade = {1.0, 0.55, 0.25};
  constexpr std::array<double, 3> kWidths = {7, 5, 3};
  for (std::size_t i = 0; i < h.size(); ++i) {
    const auto corner = static_cast<std::size_t>(h[i].corner);
    const double y = bottom + span * (0.07 + 0.035 * static_cast<double>(i));
    double from = 0;
    for (std::size_t s = 0; s < 3; ++s) {
      const double to = shown_velocity(h[i].speed_below[s], units);
      const gfx::Color c = kCornerColours[corner];
      const double k = kShade[s];
      gfx::Line& l = m.new_line(axes, {from, to}, {y, y});
      l.color = {1 - k * (1 - c.r), 1 - k * (1 - c.g), 1 - k * (1 - c.b)};
      l.line_width = kWidths[s];
      l.tag = std::string(kTrackBandTag);
      drawn.push_back(l.handle());
      from = to;
    }
    // The label at the strip's right end, inside the axes however far the strip reaches.
    const double right = axes.xlim[0] + 0.99 * (axes.xlim[1] - axes.xlim[0]);
    gfx::Text& t = m.new_text(axes, std::min(from, right), y, std::string(kCornerShort[corner]));
    t.tag = std::string(kTrackBandTag);
    t.font_size = 7;
    t.horizontal_alignment = "right";
    t.vertical_alignment = "bottom";
    t.color = kCornerColours[corner];
    drawn.push_back(t.handle());
  }
  for (auto it = drawn.rbegin(); it != drawn.rend(); ++it) m.send_to_back(*it);
  m.touch();
}

}  // namespace quorin::analysis
