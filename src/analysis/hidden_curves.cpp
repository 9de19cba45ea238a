#include "analysis/hidden_curves.h"

namespace quorin::analysis {
namespace {

constexpr gfx::Color kWhite{1, 1, 1};

// The lines of the stored curves: solid and not the white line that resets the axes.
std::vector<gfx::Line*> curve_lines(gfx::Model& m, const gfx::Axes& plot) {
  std::vector<gfx::Line*> out;
  for (gfx::Line* l : m.children_of<gfx::Line>(plot))
    if (l->line_style == "-" && l->marker == "none" && !(l->color == kWhite)) out.push_back(l);
  return out;
}

}  // namespace

std::vector<gfx::Line*> legend_markers(gfx::Model& m, const gfx::Axes& legend) {
  std::vector<gfx::Line*> out;
  for (gfx::Line* l : m.children_of<gfx::Line>(legend))
    if (l->marker == "s") out.push_back(l);
  return out;
}

void apply_hidden_curves(gfx::Model& m, gfx::Axes& plot, gfx::Axes& legend,
                         const std::set<int>& hidden,
                         const std::function<std::string(int)>& click_command) {
  const std::vector<gfx::Line*> lines = curve_lines(m, plot);
  const std::vector<gfx::Line*> markers = legend_markers(m, legend);
  bool changed = false;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const bool shown = !hidden.count(static_cast<int>(k / 2 + 1));
    if (lines[k]->visible != shown) {
      lines[k]->visible = shown;
      changed = true;
    }
  }
  for (std::size_t k = 0; k < markers.size(); ++k) {
    gfx::Line& mk = *markers[k];
    const int curve = static_cast<int>(k + 1);
    const std::optional<gfx::Color> face;
    const std::optional<gfx::Color> want = hidden.count(curve) ? face : mk.color;
    if (mk.marker_face != want) {
      mk.marker_face = want;
      changed = true;
    }
    const Value command = Value::text(click_command(curve));
    auto it = mk.extra.find("buttondownfcn");
    if (it == mk.extra.end() || !(it->second == command)) {
      mk.extra["buttondownfcn"] = command;
      changed = true;
    }
  }
  if (changed) m.touch();
}

}  // namespace quorin::analysis
