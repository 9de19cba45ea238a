#include "analysis/hidden_curves.h"

#include "plotting/plotfunction.h"

namespace quorin::analysis {

std::vector<gfx::Line*> legend_markers(gfx::Model& m, const gfx::Axes& legend) {
  std::vector<gfx::Line*> out;
  for (gfx::Line* l : m.children_of<gfx::Line>(legend))
    if (curve_number_of(*l)) out.push_back(l);
  return out;
}

void apply_hidden_curves(gfx::Model& m, gfx::Axes& plot, gfx::Axes& legend,
                         const std::set<int>& hidden,
                         const std::function<std::string(int)>& click_command) {
  bool changed = false;
  for (gfx::Line* line : m.children_of<gfx::Line>(plot)) {
    const std::optional<int> curve = curve_number_of(*line);
    if (!curve) continue;
    const bool shown = !hidden.count(*curve);
    if (line->visible != shown) {
      line->visible = shown;
      changed = true;
    }
  }
  for (gfx::Line* marker : legend_markers(m, legend)) {
    gfx::Line& mk = *marker;
    const int curve = *curve_number_of(mk);
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
