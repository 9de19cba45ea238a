#include "analysis/ride_windows.h"

#include <algorithm>
#include <cmath>

#include "analysis/tool_windows.h"
#include "analysis/tuning_windows.h"
#include "analysis/window_parts.h"
#include "plotting/plotfunction.h"
#include "services/numeric.h"

namespace quorin::analysis {
namespace {

constexpr gfx::Color kGrey{0.55, 0.55, 0.55};
constexpr gfx::Color kBlack{0, 0, 0};
constexpr double kRowPixels = 17;
// The columns of a road study the window shows; the histogram is drawn instead.
constexpr std::size_t kRoadColumnsShown = 8;

gfx::Control& caption_line(gfx::Model& m, gfx::Window& w, std::string text, gfx::Rect at) {
  gfx::Control& c = m.new_control(w, gfx::Control::Style::Text);
  c.string = std::move(text);
  c.position = at;
  c.background = w.color;
  c.font_name = "arial";
  c.horizontal_alignment = "left";
  return c;
}

std::string corner_text(const QuarterCar& car) {
  return "Corner: sprung " + num2str(car.sprung_mass_kg) + " kg, unsprung " +
         num2str(car.unsprung_mass_kg) + " kg, wheel rate " + num2str(car.wheel_rate_n_per_mm) +
         " N/mm, tyre rate " + num2str(car.tyre_rate_n_per_mm) + " N/mm";
}

void fix_limits(gfx::Axes& a, double x0, double x1, double y0, double y1) {
  if (x0 < x1) a.xlim = {x0, x1};
  if (y0 < y1) a.ylim = {y0, y1};
  a.xlim_manual = x0 < x1;
  a.ylim_manual = y0 < y1;
}

// The velocity histogram: rebound bands left of the middle, compression right, one line with
// markers per curve at the bands' places.
void draw_histogram(gfx::Model& m, gfx::Axes& a, const RideStudy& s) {
  set_axis_label(m, a.title, "Damper velocity: share of time in each band");
  set_axis_label(m, a.xlabel, "rebound  <-  band (mm/s)  ->  compression");
  set_axis_label(m, a.ylabel, "Time (%)");
  const auto& e = kVelocityBandEdgesMmps;
  const std::array<std::string, kVelocityBands> names = {
      "0-" + num2str(e[0]), num2str(e[0]) + "-" + num2str(e[1]),
      num2str(e[1]) + "-" + num2str(e[2]), num2str(e[2]) + "-" + num2str(e[3]),
      ">" + num2str(e[3])};
  double top = 0;
  for (const RideRow& r : s.rows) {
    std::vector<double> x, y;
    for (std::size_t b = kVelocityBands; b-- > 0;) {
      x.push_back(-static_cast<double>(b) - 1);
      y.push_back(r.road.rebound_percent[b]);
    }
    for (std::size_t b = 0; b < kVelocityBands; ++b) {
      x.push_back(static_cast<double>(b) + 1);
      y.push_back(r.road.compression_percent[b]);
    }
    for (double v : y) top = std::max(top, v);
    tool_line(m, a, x, y, stored_curve_colour(r.number), "-").marker = "o";
  }
  top = top > 0 ? 1.15 * top : 1;
  for (std::size_t b = 0; b < kVelocityBands; ++b)
    for (double side : {-1.0, 1.0}) {
      gfx::Text& t = m.new_text(a, side * (static_cast<double>(b) + 1), top * 0.96, names[b]);
      t.font_size = 7;
      t.horizontal_alignment = "center";
      t.vertical_alignment = "top";
      t.color = kGrey;
    }
  tool_line(m, a, {0, 0}, {0, top}, kGrey, ":");
  const double bands = static_cast<double>(kVelocityBands);
  fix_limits(a, -bands - 0.5, bands + 0.5, 0, top);
}

void draw_kerb(gfx::Model& m, gfx::Axes& a, const RideStudy& s) {
  set_axis_label(m, a.title, "Tyre load over the kerb");
  set_axis_label(m, a.xlabel, "Time (s)");
  set_axis_label(m, a.ylabel, "Tyre load (N)");
  double right = 0, top = 0;
  for (const RideRow& r : s.rows) {
    tool_line(m, a, r.kerb.time_s, r.kerb.tyre_load_n, stored_curve_colour(r.number), "-");
    if (!r.kerb.time_s.empty()) right = std::max(right, r.kerb.time_s.back());
    for (double v : r.kerb.tyre_load_n) top = std::max(top, v);
  }
  const double w = static_tyre_load_n(s.what.car);
  tool_line(m, a, {0, right}, {w, w}, kGrey, ":");
  fix_limits(a, 0, right, 0, std::max(top, w) * 1.05);
}

void draw_shaker(gfx::Model& m, gfx::Axes& body, gfx::Axes& load, const RideStudy& s) {
  set_axis_label(m, body.title, "Transmissibility on the shaker");
  set_axis_label(m, body.ylabel, "Body / road");
  set_axis_label(m, load.ylabel, "Tyre load / static");
  set_axis_label(m, load.xlabel, "Frequency (Hz)");
  double right = 0;
  for (const RideRow& r : s.rows) {
    tool_line(m, body, r.shaker.frequency_hz, r.shaker.body, stored_curve_colour(r.number), "-");
    tool_line(m, load, r.shaker.frequency_hz, r.shaker.tyre_load, stored_curve_colour(r.number),
              "-");
    if (!r.shaker.frequency_hz.empty()) right = std::max(right, r.shaker.frequency_hz.back());
  }
  body.xlim = load.xlim = {0, right > 0 ? right : 1};
  body.xlim_manual = load.xlim_manual = true;
}

}  // namespace

gfx::Color stored_curve_colour(int number) {
  const std::size_t i = static_cast<std::size_t>(std::max(number, 1) - 1) % kLinestyle.size();
  return *gfx::parse_line_spec(kLinestyle[i]).color;
}

gfx::Window& show_ride_window(gfx::Model& m, const RideStudy& study,
                              const RideCommands& commands) {
  constexpr double kWidth = 1040, kHeight = 720;
  gfx::Window& w = open_tool_window(m, kRideWindowName, {110, 50, kWidth, kHeight});
  caption_line(m, w, corner_text(study.what.car), {20, kHeight - 28, 800, 18});
  caption_line(m, w, "Case: " + study.road_text, {20, kHeight - 48, 800, 18});
  double right = kWidth - 110;
  if (!commands.copy.empty()) {
    tool_button(m, w, "Copy", "CopyRide", {right, kHeight - 36, 90, 24}, commands.copy,
                "Copies the table, tab-separated.");
    right -= 120;
  }
  if (!commands.save_road.empty())
    tool_button(m, w, "Save road", "SaveRoad", {right, kHeight - 36, 110, 24}, commands.save_road,
                "Saves the road as a text file of distance and height in metres.");

  const RideTable t = ride_table(study);
  const std::size_t shown =
      study.what.kind == RideCaseKind::Road ? kRoadColumnsShown : t.heading.size();
  const double columns = 2 + static_cast<double>(shown);
  const double rows = 2 + static_cast<double>(study.rows.size());
  const double height = rows * kRowPixels / kHeight;
  const double top = 1 - 64 / kHeight;
  CellTable table(m, w, kRideTableTag, {0.02, top - height, 0.96, height}, columns, rows);
  table.cell(0, 0, "Curve", true, "left");
  for (std::size_t c = 0; c < shown; ++c) {
    // "Tyre load RMS (N)": the name above, the unit below.
    const std::string& h = t.heading[c];
    const std::size_t open = h.rfind(" (");
    const double col = 2 + static_cast<double>(c);
    table.cell(col, 0, open == std::string::npos ? h : h.substr(0, open), true);
    if (open != std::string::npos) table.cell(col, 1, h.substr(open + 1), true);
  }
  for (std::size_t r = 0; r < study.rows.size(); ++r) {
    const double row = 2 + static_cast<double>(r);
    const RideRow& x = study.rows[r];
    table.swatch(0, row, stored_curve_colour(x.number));
    table.cell(1, row, std::to_string(x.number));
    for (std::size_t c = 0; c < shown; ++c) {
      const double v = t.values[r][c];
      table.cell(2 + static_cast<double>(c), row,
                 std::isnan(v) ? std::string("never") : table_number(v, t.decimals[c]));
    }
  }
  table.rule_below(2);
  table.frame();

  const double plot_top = top - height - 0.08;
  switch (study.what.kind) {
    case RideCaseKind::Road:
      draw_histogram(m, tool_plot_axes(m, w, kRidePlotTag, {0.08, 0.08, 0.88, plot_top - 0.08}),
                     study);
      break;
    case RideCaseKind::Kerb:
      draw_kerb(m, tool_plot_axes(m, w, kRidePlotTag, {0.08, 0.08, 0.88, plot_top - 0.08}), study);
      break;
    case RideCaseKind::Shaker: {
      const double h = (plot_top - 0.16) / 2;
      gfx::Axes& body = tool_plot_axes(m, w, kRidePlotTag, {0.08, 0.16 + h, 0.88, h});
      gfx::Axes& load = tool_plot_axes(m, w, kRideSecondPlotTag, {0.08, 0.08, 0.88, h});
      draw_shaker(m, body, load, study);
      break;
    }
  }
  keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

gfx::Window& show_grip_window(gfx::Model& m, const GripMap& map,
                              const std::vector<GripMark>& stored, const std::string& caption,
                              const std::function<std::string(std::size_t)>& click_command) {
  constexpr double kWidth = 1000, kHeight = 700;
  gfx::Window& w = open_tool_window(m, kGripWindowName, {130, 60, kWidth, kHeight});
  caption_line(m, w, caption, {20, kHeight - 28, 960, 18});
  gfx::Axes& a = tool_plot_axes(m, w, kGripAxesTag, {0.08, 0.09, 0.6, 0.82});
  set_axis_label(m, a.title, "Grip map: " + grip_sweep_name(map.sweep) + ", " +
                                 std::to_string(map.points.size()) + " set-ups");
  set_axis_label(m, a.xlabel, "Body acceleration RMS (m/s2)  -  comfort");
  set_axis_label(m, a.ylabel, "Tyre load variation RMS (N)  -  grip");
  double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
  auto grow = [&](double x, double y) {
    x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
  };
  std::vector<std::size_t> front;
  for (std::size_t i = 0; i < map.points.size(); ++i) {
    const GripPoint& p = map.points[i];
    grow(p.body_accel_rms, p.tyre_load_rms_n);
    gfx::Line& l = tool_line(m, a, {p.body_accel_rms}, {p.tyre_load_rms_n},
                             p.on_front ? kBlack : kGrey, "none");
    l.marker = "o";
    l.marker_size = p.on_front ? 6 : 4;
    if (p.on_front) l.marker_face = kBlack;
    l.tag = std::string(kGripPointTag);
    l.extra["buttondownfcn"] = Value::text(click_command(i));
    if (p.on_front) front.push_back(i);
  }
  std::sort(front.begin(), front.end(), [&](std::size_t i, std::size_t j) {
    return map.points[i].body_accel_rms < map.points[j].body_accel_rms;
  });
  std::vector<double> fx, fy;
  for (std::size_t i : front) {
    fx.push_back(map.points[i].body_accel_rms);
    fy.push_back(map.points[i].tyre_load_rms_n);
  }
  tool_line(m, a, fx, fy, kBlack, "-").tag = std::string(kGripFrontTag);
  for (const GripMark& s : stored) {
    grow(s.body_accel_rms, s.tyre_load_rms_n);
    gfx::Line& l = tool_line(m, a, {s.body_accel_rms}, {s.tyre_load_rms_n},
                             stored_curve_colour(s.number), "none");
    l.marker = "s";
    l.marker_size = 9;
    l.line_width = 2;
    l.tag = std::string(kGripStoredTag);
    gfx::Text& t = m.new_text(a, s.body_accel_rms, s.tyre_load_rms_n, " " + std::to_string(s.number));
    t.color = stored_curve_colour(s.number);
    t.font_size = 9;
  }
  if (x0 < x1 && y0 < y1) {
    const double dx = 0.05 * (x1 - x0), dy = 0.05 * (y1 - y0);
    fix_limits(a, x0 - dx, x1 + dx, y0 - dy, y1 + dy);
  }

  // The key: the front's set-ups from the best grip to the best comfort.
  gfx::Axes& key = tool_key_axes(m, w, {0.71, 0.09, 0.27, 0.82});
  auto key_text = [&](double y, std::string s, bool bold = false) {
    gfx::Text& t = m.new_text(key, 0.02, y, std::move(s));
    t.font_name = "times";
    t.font_size = 9;
    if (bold) t.font_weight = "bold";
  };
  const bool comp = map.sweep.compression;
  const std::string low = comp ? "LSC" : "LSR", high = comp ? "HSC" : "HSR";
  key_text(0.98, "Pareto front (" + std::to_string(front.size()) + " set-ups):", true);
  key_text(0.94, "load RMS (N)   body RMS (m/s2)   clicks");
  double y = 0.90;
  constexpr std::size_t kMostListed = 18;
  std::vector<std::size_t> by_grip(front.rbegin(), front.rend());
  for (std::size_t k = 0; k < by_grip.size() && k < kMostListed; ++k, y -= 0.04) {
    const GripPoint& p = map.points[by_grip[k]];
    key_text(y, table_number(p.tyre_load_rms_n, 0) + "   " + table_number(p.body_accel_rms, 2) +
                    "   " + low + " " + p.low_click + "  " + high + " " + p.high_click);
  }
  if (by_grip.size() > kMostListed)
    key_text(y, "... and " + std::to_string(by_grip.size() - kMostListed) + " more"), y -= 0.04;
  y -= 0.03;
  if (map.refused > 0)
    key_text(y, std::to_string(map.refused) + " click pairs have no valving entry"), y -= 0.04;
  key_text(y, "Squares: the stored curves."), y -= 0.04;
  key_text(y, "Click a point to set the main window's clicks.");
  keep_parts_when_resized(m, w);
  m.touch();
  return w;
}

}  // namespace quorin::analysis
