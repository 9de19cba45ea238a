#include "plotting/axes_frame.h"

#include <array>
#include <string>

#include "annotation/title.h"
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
  const annotation::PropertyPairs font = {{"FontName", Value::text("times")},
                                          {"FontSize", Value::number(10)},
                                          {"FontAngle", Value::text("italic")}};
  annotation::title(m, std::string(kPlotTitle), font);
  annotation::xlabel(m, std::string(si ? kVelocityLabelSI : kVelocityLabelUS), font);
  annotation::ylabel(m, std::string(si ? kForceLabelSI : kForceLabelUS), font);
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
