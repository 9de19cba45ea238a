#include "plotting/axes_frame.h"

#include <array>
#include <string>

#include "services/runtime_error.h"

namespace quorin {
namespace {

double limit_value(const std::optional<double>& v, std::string_view name) {
  if (!v) throw RuntimeError("The axis limit " + std::string(name) + " is not a number.");
  return *v;
}

void check_increasing(double lo, double hi, std::string_view lo_name, std::string_view hi_name) {
  if (!(lo < hi))
    throw RuntimeError("The axis limit " + std::string(lo_name) + " must be smaller than " +
                       std::string(hi_name) + ".");
}

}  // namespace

void plot_reset_line(gfx::Model& m, gfx::Axes& axes) {
  constexpr std::array<double, 2> x{0, 0.25};
  constexpr std::array<double, 2> y{-10000, 5000};
  axes.hold = false;
  m.plot(axes, x, y, "w-");
}

void label_comparison_axes(gfx::Model& m, bool si) {
  gfx::Axes& axes = m.current_axes();
  auto label = [&](gfx::Handle h, std::string_view text, bool title) {
    gfx::Text& t = m.get<gfx::Text>(h);
    t.font_angle = axes.font_angle;
    t.font_name = axes.font_name;
    t.font_size = axes.font_size;
    t.font_weight = axes.font_weight;
    if (title) t.rotation = 0;
    t.string = std::string(text);
    t.font_name = "times";
    t.font_size = 10;
    t.font_angle = "italic";
  };
  label(axes.title, kPlotTitle, true);
  label(axes.xlabel, si ? kVelocityLabelSI : kVelocityLabelUS, false);
  label(axes.ylabel, si ? kForceLabelSI : kForceLabelUS, false);
  m.touch();
}

void set_axis_limits(gfx::Axes& axes, const AxisLimits& limits) {
  const double xmin = limit_value(limits.xmin, "xmin");
  const double xmax = limit_value(limits.xmax, "xmax");
  const double ymin = limit_value(limits.ymin, "ymin");
  const double ymax = limit_value(limits.ymax, "ymax");
  check_increasing(xmin, xmax, "xmin", "xmax");
  check_increasing(ymin, ymax, "ymin", "ymax");
  axes.xlim = {xmin, xmax};
  axes.ylim = {ymin, ymax};
  axes.xlim_manual = true;
  axes.ylim_manual = true;
}

void grid_on(gfx::Axes& axes) {
  axes.xgrid = true;
  axes.ygrid = true;
}

}  // namespace quorin
