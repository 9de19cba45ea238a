// The two reference curves the comparison axes can carry besides the stored damper curves:
// the imported text curve (dashed blue pair) and the dyno curve (dashed black).
#pragma once

#include <optional>

#include "services/gfx/model.h"
#include "services/numeric.h"
#include "services/value.h"

namespace quorin {

// Plots column 2 and then column 3 of `import` against column 1 as "b--", with hold on after
// each. Throws RuntimeError, drawing nothing, when the matrix has fewer than three columns.
void draw_import_curve(gfx::Model& m, gfx::Axes& axes, const Matrix& import);

// Plots the dyno overlay of `ShockData` as "k--" with hold on. Throws RuntimeError, drawing
// nothing, when the record holds no usable Speed_1 velocity and force rows.
void draw_dyno_curve(gfx::Model& m, gfx::Axes& axes, const Value& ShockData);

// After an overlay: grid on, zoom on for the window, limits [xmin xmax ymin ymax]. Throws
// RuntimeError naming a limit that is not a number.
void finish_overlay(gfx::Window& window, gfx::Axes& axes, std::optional<double> xmin,
                    std::optional<double> xmax, std::optional<double> ymin,
                    std::optional<double> ymax);

// The import matrix is usable as a curve: at least one row and three columns.
bool is_import_curve(const Matrix& import);

}  // namespace quorin
