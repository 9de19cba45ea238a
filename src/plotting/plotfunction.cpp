#include "plotting/plotfunction.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "annotation/cla.h"
#include "plotting/axes_frame.h"
#include "plotting/overlays.h"
#include "services/gfx/window_places.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

// Legend layout in the legend axes: one block of four lines per curve, 0.12 high.
constexpr double kLegendMarkerX = 0.05;
constexpr double kLegendTextX = 0.1;
constexpr double kLegendBlock = 0.12;
// Heights of the marker and first line, and of the four lines, for a block at offset 0.
constexpr std::array<double, 4> kLegendLineTops = {1.1, 1.08, 1.06, 1.04};
constexpr double kLegendFontSize = 7;
// The least distance of two legend lines on the screen, pixels: closer, lines in the 7 point
// font touch. Where the window is too low for it, the lines of a block spread into the room
// between blocks (at most this far apart, in legend units), and then the font gets smaller.
constexpr double kLegendLinePixels = 10;
constexpr double kLegendWidestSpacing = 0.028;
constexpr double kLegendSmallestFont = 5;
constexpr std::string_view kLegendFontName = "times";

// Marks the model changed however the redraw ends, so the view follows what was drawn.
struct TouchOnExit {
  gfx::Model& m;
  ~TouchOnExit() { m.touch(); }
};

gfx::Control& main_control(gfx::Model& m, std::string_view tag) {
  auto* c = dynamic_cast<gfx::Control*>(m.find_by_tag(tag));
  if (!c)
    throw RuntimeError("The control \"" + std::string(tag) + "\" is not in the main window.");
  return *c;
}

// What the redraw reads from the main window's controls.
struct MainWindowSettings {
  UnitFactors units;
  bool si = true;
  bool holdimport = false;
  bool holdroehrig = false;
  AxisLimits limits;
};

MainWindowSettings read_main_window(gfx::Model& m) {
  m.figure(1);
  MainWindowSettings s;
  s.si = main_control(m, "SIUnits").value == 1;
  s.units = s.si ? kSIFactors : kUSFactors;
  s.holdimport = main_control(m, "holdimport").value == 1;
  s.holdroehrig = main_control(m, "holdroehrig").value == 1;
  s.limits.xmin = str2double(main_control(m, "xmin").string);
  s.limits.xmax = str2double(main_control(m, "xmax").string);
  s.limits.ymin = str2double(main_control(m, "ymin").string);
  s.limits.ymax = str2double(main_control(m, "ymax").string);
  return s;
}

gfx::Color colour_of_record(std::size_t i) {
  if (i < 1 || i > kLinestyle.size())
    throw RuntimeError("Curve " + std::to_string(i) + " has no colour; at most " +
                       std::to_string(kLinestyle.size()) + " curves can be drawn.");
  return *gfx::parse_line_spec(kLinestyle[i - 1]).color;
}

const DamperCurve& record(const std::vector<DamperCurve>& plotdata, std::size_t i) {
  if (i > plotdata.size())
    throw RuntimeError("plotdata has no curve " + std::to_string(i) + ".");
  return plotdata[i - 1];
}

std::size_t records_to_draw(double counter) {
  if (!(counter >= 1) || counter != std::floor(counter))
    throw RuntimeError("The curve counter " + num2str(counter) + " is not a whole number from 1 up.");
  return static_cast<std::size_t>(counter) - 1;
}

void mark_curve(gfx::Line& line, std::size_t record_number) {
  line.extra[std::string(kCurveNumberProperty)] = Value::number(static_cast<double>(record_number));
}

void draw_curves(gfx::Model& m, gfx::Axes& axes, const std::vector<DamperCurve>& plotdata,
                 std::size_t n, UnitFactors units, gfx::Window& plot_window) {
  for (std::size_t i = 1; i <= n; ++i) {
    const DamperCurve& p = record(plotdata, i);
    colour_of_record(i);
    const std::string_view colour = kLinestyle[i - 1];
    const WheelCurves w = wheel_curves(p, units);
    mark_curve(m.plot(axes, w.compression_velocity, w.compression_force, colour), i);
    axes.hold = true;
    plot_window.zoom = true;
    mark_curve(m.plot(axes, w.rebound_velocity, w.rebound_force, colour), i);
  }
}

void draw_legend(gfx::Model& m, gfx::Axes& legend, const std::vector<DamperCurve>& plotdata,
                 std::size_t n, gfx::Window& plot_window) {
  for (std::size_t i = 1; i <= n; ++i) {
    const DamperCurve& p = record(plotdata, i);
    const gfx::Color colour = colour_of_record(i);
    const double offset = kLegendBlock * static_cast<double>(i);
    const std::array<double, 1> mx{kLegendMarkerX}, my{kLegendLineTops[0] - offset};
    gfx::Line& marker = m.plot(legend, mx, my, "s");
    mark_curve(marker, i);
    marker.color = colour;
    marker.marker_face = colour;
    marker.marker_edge = colour;
    const std::array<const std::string*, 4> lines = {&p.curveIDcompression1, &p.curveIDcompression2,
                                                     &p.curveIDrebound1, &p.curveIDrebound2};
    for (std::size_t k = 0; k < lines.size(); ++k) {
      gfx::Text& t = m.new_text(legend, kLegendTextX, kLegendLineTops[k] - offset, *lines[k]);
      t.font_size = kLegendFontSize;
      t.font_name = std::string(kLegendFontName);
    }
    legend.xlim = {0, 1};
    legend.ylim = {0, 1};
    legend.xlim_manual = true;
    legend.ylim_manual = true;
    legend.visible = false;
    legend.hold = true;
    plot_window.zoom = true;
  }
}

}  // namespace

std::optional<int> curve_number_of(const gfx::Line& line) {
  const auto it = line.extra.find(kCurveNumberProperty);
  if (it == line.extra.end() || !it->second.is_scalar()) return std::nullopt;
  const double n = it->second.scalar();
  if (!(n >= 1 && n <= double(kLinestyle.size())) || n != std::floor(n)) return std::nullopt;
  return static_cast<int>(n);
}

void fit_legend(gfx::Model& m, gfx::Axes& legend) {
  const gfx::Window& w = m.window_of(legend.handle());
  if (legend.units != gfx::Units::Normalized) return;
  const double height = legend.position.height * gfx::in_pixels(w, m.screen).height;
  if (!(height > 0)) return;
  const double spacing = std::clamp(kLegendLinePixels / height,
                                    kLegendLineTops[0] - kLegendLineTops[1], kLegendWidestSpacing);
  const double font =
      std::max(kLegendSmallestFont,
               std::min(kLegendFontSize, kLegendFontSize * spacing * height / kLegendLinePixels));
  const bool as_drawn = spacing == kLegendLineTops[0] - kLegendLineTops[1];
  // Each block: its marker, then its four lines.
  std::size_t block = 0, line = 0;
  for (gfx::Handle h : legend.children()) {
    if (h == legend.title || h == legend.xlabel || h == legend.ylabel || h == legend.zlabel)
      continue;
    gfx::Object* o = m.find(h);
    if (!o) continue;
    if (o->kind() == gfx::Kind::Line) {
      ++block;
      line = 0;
    } else if (auto* t = dynamic_cast<gfx::Text*>(o); t && line < kLegendLineTops.size()) {
      const double k = static_cast<double>(line);
      const double offset = kLegendBlock * static_cast<double>(block);
      t->position[1] =
          (as_drawn ? kLegendLineTops[line] : kLegendLineTops[0] - k * spacing) - offset;
      t->font_size = font;
      ++line;
    }
  }
  m.touch();
}

WheelCurves wheel_curves(const DamperCurve& p, UnitFactors units) {
  WheelCurves w;
  auto velocity = [&](const std::vector<double>& base, double scale) {
    std::vector<double> out(base.size());
    for (std::size_t k = 0; k < base.size(); ++k)
      out[k] = base[k] * units.velocity / scale * p.motionratio;
    return out;
  };
  auto force = [&](const std::vector<double>& base, double scale) {
    std::vector<double> out(base.size());
    for (std::size_t k = 0; k < base.size(); ++k)
      out[k] = (base[k] * scale / units.force + p.gasforce / units.force) / p.motionratio;
    return out;
  };
  w.compression_velocity = velocity(p.cmpvelocity, p.compscale);
  w.compression_force = force(p.cmpforce, p.compscale);
  w.rebound_velocity = velocity(p.rebvelocity, p.rebscale);
  w.rebound_force = force(p.rebforce, p.rebscale);
  return w;
}

void plotfunction(gfx::Model& m, const std::vector<DamperCurve>& plotdata, gfx::Handle plothandle,
                  gfx::Handle IDhandle, double counter, const Matrix& import,
                  const Value& ShockData, std::ostream* console) {
  TouchOnExit touch{m};
  const std::size_t n = records_to_draw(counter);
  const MainWindowSettings s = read_main_window(m);

  gfx::Window& plot_window = m.figure(2);
  m.set_current_axes(plothandle);
  gfx::Axes& axes = m.get<gfx::Axes>(plothandle);
  plot_reset_line(m, axes);
  plot_window.zoom = true;
  draw_curves(m, axes, plotdata, n, s.units, plot_window);

  label_comparison_axes(m, s.si);

  m.set_current_axes(plothandle);
  set_axis_limits(axes, s.limits);
  grid_on(axes);

  m.set_current_axes(IDhandle);
  gfx::Axes& legend = m.get<gfx::Axes>(IDhandle);
  legend.visible = false;
  annotation::cla(m);
  draw_legend(m, legend, plotdata, n, plot_window);

  if (s.holdimport) {
    m.figure(2);
    m.set_current_axes(plothandle);
    draw_import_curve(m, axes, import);
    finish_overlay(plot_window, axes, s.limits.xmin, s.limits.xmax, s.limits.ymin, s.limits.ymax);
  }
  if (s.holdroehrig) {
    m.figure(2);
    m.set_current_axes(plothandle);
    draw_dyno_curve(m, axes, ShockData, s.si, console);
    finish_overlay(plot_window, axes, s.limits.xmin, s.limits.xmax, s.limits.ymin, s.limits.ymax);
  }

  // The window lays out what was drawn for the size it has (the legend's spacing).
  gfx::Window& shown = m.figure(2);
  shown.zoom = true;
  if (shown.layout) shown.layout(shown);
  m.figure(1);
}

}  // namespace quorin
