// Undo and redo of the actions that change the comparison plot: the stored curves, the two
// counters, the held import and dyno curves and the picture of the comparison axes.
#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "plotting/damper_curve.h"
#include "services/gfx/model.h"
#include "services/numeric.h"
#include "services/value.h"

namespace quorin::analysis {

// What an axes shows, enough to draw it again: its limits, grid, hold and visibility, the
// texts of its title and labels, and its lines and texts in creation order. Images and
// other children are left as they are.
struct AxesPicture {
  struct LineItem {
    SharedArray x, y;  // shared with the drawn line
    gfx::Color color;
    std::string line_style, marker;
    std::optional<gfx::Color> marker_face, marker_edge;
    double line_width = 0, marker_size = 0;
    std::string tag;
    bool visible = true, handle_visible = true;
    friend bool operator==(const LineItem&, const LineItem&) = default;
  };
  struct TextItem {
    std::string string;
    std::array<double, 3> position{};
    std::string font_name, font_angle, font_weight;
    double font_size = 0, rotation = 0;
    gfx::Color color;
    std::string horizontal_alignment, vertical_alignment, tag;
    bool visible = true, handle_visible = true;
    friend bool operator==(const TextItem&, const TextItem&) = default;
  };
  struct Item {
    std::optional<LineItem> line;
    std::optional<TextItem> text;
    friend bool operator==(const Item&, const Item&) = default;
  };
  std::array<double, 2> xlim{}, ylim{};
  bool xlim_manual = false, ylim_manual = false;
  bool xgrid = false, ygrid = false, zgrid = false;
  bool hold = false, visible = true;
  std::array<std::optional<TextItem>, 3> labels;  // title, x label, y label
  std::vector<Item> items;
  friend bool operator==(const AxesPicture&, const AxesPicture&) = default;
};

// Takes the picture of a live axes; draws it back into the same axes, replacing its lines
// and texts (handles of the drawn objects are new).
AxesPicture capture_axes(gfx::Model& m, const gfx::Axes& axes);
void restore_axes(gfx::Model& m, gfx::Axes& axes, const AxesPicture& picture);
// Whether the live axes still shows the picture (capture_axes(m, axes) == picture) without
// copying its curves, which may hold millions of points.
bool axes_shows(gfx::Model& m, const gfx::Axes& axes, const AxesPicture& picture);

// One state of the comparison plot.
struct PlotState {
  std::vector<DamperCurve> plotdata;
  double counter = 0, counter2 = 0;
  Matrix import;
  Value ShockData;
  std::optional<AxesPicture> plot, legend;  // nullopt when the axes was not open
  bool si = true;  // the units the pictures are drawn in (metric or not); not compared
  // The main window's twelve selections (popup rows, then box texts), kept only for actions
  // that change them (opening a set-up of the library); empty: not kept, left alone.
  std::vector<std::pair<std::string, Value>> selections;
  friend bool operator==(const PlotState&, const PlotState&);
};

// Whether the plot is still in `state`: the stored curves, counters, held import and dyno
// curves, and the two axes (nullptr when not open) compare equal to it.
bool plot_still_in(const PlotState& state, const std::vector<DamperCurve>& plotdata, double counter,
                   double counter2, const Matrix& import, const Value& ShockData, gfx::Model& m,
                   const gfx::Axes* plot, const gfx::Axes* legend);

// The states before each undoable action, newest last, and the states undone since.
class History {
 public:
  // At least this many steps are kept; the oldest go first.
  static constexpr std::size_t kSteps = 20;

  // An action took the plot from `before` to a different state: a new step; redo is gone.
  void record(PlotState before);
  bool can_undo() const { return !undo_.empty(); }
  bool can_redo() const { return !redo_.empty(); }
  // The state to go back to, given the state now (which redo brings back); nullopt when
  // there is nothing to undo.
  std::optional<PlotState> undo(PlotState now);
  std::optional<PlotState> redo(PlotState now);
  std::size_t undo_steps() const { return undo_.size(); }

 private:
  std::deque<PlotState> undo_, redo_;
};

}  // namespace quorin::analysis
