// The pieces the analysis windows are built from: their buttons, plot and key axes, axis
// labels, fixed-point numbers and grids of text cells, so every such window looks alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "services/gfx/model.h"

namespace quorin::analysis {

// `v` with exactly `decimals` places after the point.
std::string fixed_number(double v, int decimals);

// A bold blue push button with yellow text that runs `command`.
gfx::Control& tool_button(gfx::Model& m, gfx::Window& w, std::string_view label,
                          std::string_view tag, gfx::Rect at, const std::string& command,
                          std::string_view tooltip = {});

// Axes with a box and a grid that keep what is drawn in them.
gfx::Axes& tool_plot_axes(gfx::Model& m, gfx::Window& w, std::string_view tag, gfx::Rect at);

// Invisible axes from 0 to 1 both ways at `at`, for a key of lines and texts.
gfx::Axes& tool_key_axes(gfx::Model& m, gfx::Window& w, gfx::Rect at);

// Sets an axis label (or title) `text` to `s` in italic times.
void set_axis_label(gfx::Model& m, gfx::Handle text, std::string s);

// A line from the points (x, y) in colour `c` and line style `style`.
gfx::Line& tool_line(gfx::Model& m, gfx::Axes& a, std::vector<double> x, std::vector<double> y,
                     gfx::Color c, std::string_view style);

// Makes the window's built size its least size, and keeps its controls where they were built
// when the user resizes it: each its distance from the top edge and from the nearer side
// edge. Axes in normalized units grow with the window. For windows placed in pixels, called
// once every part is made.
void keep_parts_when_resized(gfx::Model& m, gfx::Window& w);

// A grid of text cells in axes whose units are cells: x from 0 to `columns`, y from 0 at the
// top to `rows`, so the table scales with its window.
class CellTable {
 public:
  CellTable(gfx::Model& m, gfx::Window& w, std::string_view tag, gfx::Rect at, double columns,
            double rows);
  // The text of the cell at `column`, `row`, right- or left-aligned in it.
  gfx::Text& cell(double column, double row, std::string s, bool bold = false,
                  std::string_view align = "right");
  // A grey rule across the table along the top of `row`.
  void rule_below(double row);
  // A grey rule down the table at the left edge of `column`.
  void rule_down(double column);
  // A grey rule round the whole table.
  void frame();
  // A short line of colour `c` in the left part of a cell: the row's legend mark.
  void swatch(double column, double row, gfx::Color c);
  gfx::Axes& axes() { return a_; }

 private:
  gfx::Model& m_;
  gfx::Axes& a_;
  double columns_, rows_;
};

}  // namespace quorin::analysis
