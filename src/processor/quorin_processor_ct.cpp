#include <array>
#include <cmath>
#include <string>
#include <utility>

#include "processor/processor.h"
#include "services/numeric.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

using Action = void (*)(Processor&);

// Compared exactly and case-sensitively, in this order; the first match runs.
constexpr std::array<std::pair<std::string_view, Action>, 17> kActions = {{
    {"view", actions::view},
    {"clear", actions::clear},
    {"exit", actions::exit},
    {"print", actions::print},
    {"import", actions::import},
    {"export", actions::export_curve},
    {"save", actions::save},
    {"load", actions::load},
    {"roehrig", actions::roehrig},
    {"add3rd", actions::add3rd},
    {"overwrite", actions::overwrite},
    {"rescale", actions::rescale},
    {"si", actions::si},
    {"us", actions::us},
    {"balance", actions::balance},
    {"valveseatcompression", actions::valveseatcompression},
    {"valveseatrebound", actions::valveseatrebound},
}};

std::optional<double> limit_from_box(gfx::Model& m, std::string_view tag) {
  return str2double(control_by_tag(m, tag).string);
}

}  // namespace

gfx::Control& control_by_tag(gfx::Model& m, std::string_view tag) {
  gfx::Object* o = m.find_by_tag(tag);
  auto* c = dynamic_cast<gfx::Control*>(o);
  if (!c) throw RuntimeError("The control \"" + std::string(tag) + "\" is not in the current window.");
  return *c;
}

gfx::Control& main_control(gfx::Model& m, std::string_view tag) {
  gfx::Window* main = m.window(1);
  if (!main) throw RuntimeError("The main window is not open.");
  for (gfx::Object* o : m.find_all_by_tag(*main, tag))
    if (auto* c = dynamic_cast<gfx::Control*>(o)) return *c;
  throw RuntimeError("The control \"" + std::string(tag) + "\" is not in the main window.");
}

const std::string& selected_row_text(const gfx::Control& popup) {
  const double v = popup.value;
  if (!(v >= 1) || v > static_cast<double>(popup.items.size()) || v != static_cast<std::size_t>(v))
    throw RuntimeError("The popup \"" + popup.tag + "\" has no row " + num2str(v) + ".");
  return popup.items[static_cast<std::size_t>(v) - 1];
}

void require_stored_curve(double number, double counter, std::string_view wanted_for) {
  if (number >= 1 && number <= counter - 1) return;
  const double stored = counter >= 1 ? std::floor(counter) - 1 : 0;
  std::string message = "There is no curve " + num2str(number) + " to " + std::string(wanted_for);
  if (stored < 1)
    message += "; no curve is stored yet.";
  else if (stored == 1)
    message += "; 1 curve is stored, curve 1.";
  else
    message += "; " + num2str(stored) + " curves are stored, curves 1 to " + num2str(stored) + ".";
  throw RuntimeError(message);
}

void not_built_yet(std::string_view action) {
  throw RuntimeError("The action \"" + std::string(action) + "\" is not built yet.");
}

void quorin_processor_ct(Processor& p, std::string_view action) {
  Globals& g = p.g;
  g.path = p.current_folder.string();
  g.directory = (p.current_folder / "data").string() + "/";
  g.xmin = limit_from_box(p.gfx, "xmin");
  g.xmax = limit_from_box(p.gfx, "xmax");
  g.ymin = limit_from_box(p.gfx, "ymin");
  g.ymax = limit_from_box(p.gfx, "ymax");
  g.siunits = control_by_tag(p.gfx, "SIUnits").value;
  g.usunits = control_by_tag(p.gfx, "USUnits").value;
  for (const auto& [name, run] : kActions) {
    if (name == action) {
      run(p);
      return;
    }
  }
}

}  // namespace quorin
