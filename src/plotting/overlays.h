// The two reference curves the comparison axes can carry besides the stored damper curves:
// the imported text curve (dashed blue pair) and the dyno curve (dashed black).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "services/gfx/model.h"
#include "services/numeric.h"
#include "services/value.h"

namespace quorin {

// Plots column 2 and then column 3 of `import` against column 1 as "b--", with hold on after
// each. Throws RuntimeError, drawing nothing, when the matrix has fewer than three columns.
void draw_import_curve(gfx::Model& m, gfx::Axes& axes, const Matrix& import);

// The dyno overlay of a dyno record in the units the axes show: m/s and N when `si`, else
// in/s and lbs by the display factors of the synthesised curves (kUSFactors), so a dyno
// curve and a damper curve of the same numbers land on the same points. Each Speed_1 channel
// is converted from the unit its record names; |velocity| is drawn against force minus the
// force at the last sample whose velocity is at or below zero (0 when there is none).
// A channel whose unit is not a velocity (or force) unit keeps its numbers as stored, and
// `warning` says so in one line; a channel that names no unit at all is taken as already in
// the units shown. Throws RuntimeError when `ShockData` has no Speed_1 velocity and force
// rows of equal length.
struct DynoOverlay {
  std::vector<double> x, y;
  std::string warning;  // empty when nothing was left unconverted
};
DynoOverlay dyno_overlay_curve(const Value& ShockData, bool si);

// Plots the dyno overlay of `ShockData` in the units shown (SI when `si`) as "k--" with hold
// on, and writes its warning line, if any, to `console` (none when null). Throws
// RuntimeError, drawing nothing, when the record holds no usable Speed_1 velocity and force
// rows.
void draw_dyno_curve(gfx::Model& m, gfx::Axes& axes, const Value& ShockData, bool si,
                     std::ostream* console);

// After an overlay: grid on, zoom on for the window, limits [xmin xmax ymin ymax]. Throws
// RuntimeError naming a limit that is not a number.
void finish_overlay(gfx::Window& window, gfx::Axes& axes, std::optional<double> xmin,
                    std::optional<double> xmax, std::optional<double> ymin,
                    std::optional<double> ymax);

// The import matrix is usable as a curve: at least one row and three columns.
bool is_import_curve(const Matrix& import);

}  // namespace quorin
