// The comparison plot's frame on an axes: title and unit labels in the axis font, limits
// taken from the limit boxes, and the reset line that empties the curve axes.
#pragma once

#include <optional>
#include <string_view>

#include "services/gfx/model.h"

namespace quorin {

inline constexpr std::string_view kPlotTitle = "Damper Curve Comparison";
inline constexpr std::string_view kVelocityLabelSI = "Velocity (m/s)";
inline constexpr std::string_view kForceLabelSI = "Force (N)";
inline constexpr std::string_view kVelocityLabelUS = "Velocity (inches/s)";
inline constexpr std::string_view kForceLabelUS = "Force (lbs)";

// The four axis limits as read from the boxes "xmin", "xmax", "ymin", "ymax"; nullopt when a
// box held no number.
struct AxisLimits {
  std::optional<double> xmin, xmax, ymin, ymax;
};

// Switches hold off and plots the white line (0, -10000)-(0.25, 5000) into the axes, which
// removes every earlier line.
void plot_reset_line(gfx::Model& m, gfx::Axes& axes);

// Title "Damper Curve Comparison" and the velocity and force labels of the units (SI when
// `si`), in "times" 10 italic, on the current axes of the current window.
void label_comparison_axes(gfx::Model& m, bool si);

// Fixes the axes' limits to [xmin xmax] by [ymin ymax]. Throws RuntimeError naming the first
// limit that is not a number ("The axis limit xmin is not a number.") or a pair that does not
// increase, changing nothing.
void set_axis_limits(gfx::Axes& axes, const AxisLimits& limits);

// Grid lines on in both directions.
void grid_on(gfx::Axes& axes);

}  // namespace quorin
