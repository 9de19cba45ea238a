#include "app/tuning_tools.h"

#include <cmath>

#include "analysis/tool_windows.h"
#include "analysis/tuning_windows.h"
#include "app/comparison_tools.h"
#include "app/menu_parts.h"
#include "plotting/overlays.h"
#include "processor/processor.h"
#include "services/numeric.h"
#include "services/runtime_error.h"
#include "startup/program.h"

namespace quorin {
namespace {

constexpr int kMainWindow = 1;
constexpr double kDefaultMassKg = 250;
constexpr double kDefaultRateNPerMm = 30;
constexpr std::string_view kSweepTitle = "Clicker Sweep";
constexpr std::string_view kClosestTitle = "Closest Set-up";
constexpr std::string_view kGuidesTitle = "Damping Guides";
constexpr std::string_view kRatioTitle = "Damping Ratio";
constexpr std::string_view kShow = "Show";
constexpr std::string_view kHide = "Hide";



double positive_number(const std::string& text, std::string_view what) {
  const std::optional<double> v = str2double(text);
  if (!v || !(*v > 0) || !std::isfinite(*v))
    throw RuntimeError("The " + std::string(what) + " \"" + text + "\" is not a number above 0.");
  return *v;
}

// The popup row whose click text is `text` (compared as numbers); `fallback` for an empty
// text. Throws RuntimeError naming the adjuster when no row has that click.
std::size_t row_of_click(const std::vector<std::string>& rows, const std::string& text,
                         std::size_t fallback, std::string_view adjuster) {
  if (text.find_first_not_of(' ') == std::string::npos) return fallback;
  const std::optional<double> wanted = str2double(text);
  for (std::size_t r = 0; wanted && r < rows.size(); ++r)
    if (str2double(rows[r]) == wanted) return r + 1;
  throw RuntimeError(std::string(adjuster) + " has no click \"" + text + "\"; its clicks are " +
                     rows.front() + " to " + rows.back() + ".");
}

// The comparison axes' limits {xmin, xmax, ymin, ymax}; all zero when they are not open.
std::array<double, 4> comparison_limits(Program& p) {
  if (auto* a = dynamic_cast<gfx::Axes*>(p.gfx.find(p.globals.plothandle)))
    return {a->xlim[0], a->xlim[1], a->ylim[0], a->ylim[1]};
  return {0, 0, 0, 0};
}

}  // namespace

bool TuningTools::si_shown() {
  return main_window_control(p_.gfx, "SIUnits").value == 1;
}

void TuningTools::sweep() {
  gfx::Model& m = p_.gfx;
  const bool si = si_shown();
  const InputAnswer a =
      p_.dialogs.input(std::string(kSweepTitle), {{"Adjuster", "HSC", {"LSC", "HSC", "LSR", "HSR"}},
                                                  {"First click (empty: the first)", "", {}},
                                                  {"Last click (empty: the last)", "", {}}});
  if (!a) return;
  const analysis::Adjuster adjuster = analysis::adjuster_named(a->at(0));
  const std::string tag(analysis::adjuster_name(adjuster));
  const std::vector<std::string> rows = main_window_control(m, tag).items;
  if (rows.empty()) throw RuntimeError("The popup " + tag + " has no clicks.");
  const std::size_t first = row_of_click(rows, a->at(1), 1, tag);
  const std::size_t last = row_of_click(rows, a->at(2), rows.size(), tag);

  m.figure(kMainWindow);
  const SetupSelection setup = read_setup(m);
  const BleedData& bleeds = p_.bleed_cache.get(p_.current_folder);
  const analysis::ShownUnits units = analysis::shown_units(si);
  ProgressShown progress(*p_.progress, std::string(kSweepTitle));
  analysis::ClickerSweep s = analysis::clicker_sweep(
      setup, adjuster, rows, first, last, p_.globals, bleeds, units.factors, p_.globals.counter, si,
      [&](std::size_t done, std::size_t total) { return progress.advance(done, total); });
  analysis::show_sweep_window(m, s, units, comparison_limits(p_), command_text("sweepcopy"));
  sweep_ = std::move(s);
}

void TuningTools::copy_sweep() {
  if (!sweep_ || !analysis::window_named(p_.gfx, analysis::kSweepWindowName))
    throw RuntimeError("The clicker sweep window is not open.");
  const bool si = sweep_->velocity == analysis::sweep_velocities(true);
  p_.clipboard->set_text(analysis::sweep_tsv(*sweep_, analysis::shown_units(si)));
}

analysis::MeasuredSides TuningTools::held_dyno_curve(bool si) {
  if (main_window_control(p_.gfx, "holdroehrig").value != 1)
    throw RuntimeError(
        "No dyno curve is held: read a dyno file with ROEHRIG and tick its Hold box, so the "
        "curve stays on the graph.");
  const DynoOverlay drawn = dyno_overlay_curve(p_.globals.ShockData, si);
  analysis::MeasuredSides sides = analysis::measured_sides(drawn.x, drawn.y);
  if (sides.compression_velocity.empty() && sides.rebound_velocity.empty()) {
    if (sides.not_finite > 0)
      throw RuntimeError(
          "The dyno curve has no sample of finite velocity and force above or "
          "below zero force (" +
          std::to_string(sides.not_finite) + " not finite); read another dyno file with ROEHRIG.");
    throw RuntimeError(
        "The dyno curve has no points above or below zero force; read a dyno file with "
        "ROEHRIG first.");
  }
  return sides;
}

void TuningTools::closest() {
  gfx::Model& m = p_.gfx;
  const bool si = si_shown();
  const analysis::MeasuredSides measured = held_dyno_curve(si);
  analysis::ClickRows rows{main_window_control(m, "LSC").items, main_window_control(m, "HSC").items,
                           main_window_control(m, "LSR").items,
                           main_window_control(m, "HSR").items};
  m.figure(kMainWindow);
  const SetupSelection setup = read_setup(m);
  const BleedData& bleeds = p_.bleed_cache.get(p_.current_folder);
  const analysis::ShownUnits units = analysis::shown_units(si);
  ProgressShown progress(*p_.progress, std::string(kClosestTitle));
  analysis::ClosestSetup found = analysis::closest_setup(
      setup, rows, p_.globals, bleeds, units.factors, measured, analysis::band_edges(si), 5,
      [&](std::size_t done, std::size_t total) { return progress.advance(done, total); });

  // The best of each side that has one, as PLOT would draw it.
  const std::array<std::vector<double>, 4> best =
      analysis::best_curves(setup, rows, found, p_.globals, bleeds, units.factors);
  analysis::show_closest_window(m, found, measured, best, units, si, comparison_limits(p_),
                                command_text("usebest"));
  closest_ = std::move(found);
}

void TuningTools::use_best() {
  if (!closest_) throw RuntimeError("No search for the closest set-up has been run.");
  if (closest_->compression.best.empty() && closest_->rebound.best.empty())
    throw RuntimeError("The search found no best set-up for either side (compression: " +
                       closest_->compression.why_none + "; rebound: " + closest_->rebound.why_none +
                       "); no click was changed.");
  gfx::Model& m = p_.gfx;
  auto set_row = [&](std::string_view tag, const analysis::SideSearch& side, bool low) {
    if (side.best.empty()) return;
    gfx::Control& popup = main_window_control(m, tag);
    const std::size_t row = low ? side.best.front().low_row : side.best.front().high_row;
    if (row > popup.items.size())
      throw RuntimeError("The popup " + std::string(tag) + " has changed since the search.");
    popup.value = static_cast<double>(row);
  };
  set_row("LSC", closest_->compression, true);
  set_row("HSC", closest_->compression, false);
  set_row("LSR", closest_->rebound, true);
  set_row("HSR", closest_->rebound, false);
  m.touch();
}

void TuningTools::dyno_error() {
  const bool si = si_shown();
  const analysis::MeasuredSides measured = held_dyno_curve(si);
  const analysis::ShownUnits units = analysis::shown_units(si);
  const std::vector<analysis::DrawnCurve> stored =
      analysis::stored_curves(p_.globals.plotdata, p_.globals.counter, units.factors);
  if (stored.empty()) throw RuntimeError("No curve is stored to compare with the dyno curve.");
  const std::array<double, 3> edges = analysis::band_edges(si);
  // Each side's points are merged once for all the stored curves.
  const analysis::MergedPoints compression =
      analysis::merge_points(measured.compression_velocity, measured.compression_force);
  const analysis::MergedPoints rebound =
      analysis::merge_points(measured.rebound_velocity, measured.rebound_force);
  std::vector<analysis::CurveError> rows;
  for (const analysis::DrawnCurve& c : stored) {
    const bool comp = c.side == analysis::Side::Compression;
    rows.push_back({c.number.value_or(0), c.side,
                    analysis::fit_error(c.velocity, c.force, comp ? compression : rebound, edges)});
  }
  const Value& dyno = p_.globals.ShockData;
  const std::string file = dyno.is_record() && dyno.has_field("fn") && dyno.field("fn").is_text()
                               ? "\"" + dyno.field("fn").str() + "\""
                               : std::string("held");
  analysis::show_dyno_error_window(
      p_.gfx, rows, units, si,
      "Each stored curve against the dyno curve " + file +
          ": curve minus measured force at every measured velocity both curves reach.");
}

std::optional<TuningTools::Corner> TuningTools::ask_corner(const std::string& title, bool with_show,
                                                           bool& show) {
  Settings& kept = *p_.settings;
  const std::string mass = kept.value(kSprungMassKey).value_or(num2str(kDefaultMassKg));
  const std::string rate = kept.value(kWheelRateKey).value_or(num2str(kDefaultRateNPerMm));
  std::vector<InputField> fields = {{"Corner sprung mass (kg)", mass, {}},
                                    {"Wheel rate (N/mm)", rate, {}}};
  if (with_show)
    fields.push_back({"Guides", std::string(kShow), {std::string(kShow), std::string(kHide)}});
  const InputAnswer a = p_.dialogs.input(title, fields);
  if (!a) return std::nullopt;
  Corner c{positive_number(a->at(0), "sprung mass"), positive_number(a->at(1), "wheel rate")};
  analysis::critical_damping(c.mass_kg, c.rate_n_per_mm);  // refuses what it cannot use
  show = !with_show || a->at(2) != kHide;
  kept.set_value(kSprungMassKey, a->at(0));
  kept.set_value(kWheelRateKey, a->at(1));
  return c;
}

void TuningTools::ask_guides() {
  bool show = true;
  const std::optional<Corner> c = ask_corner(std::string(kGuidesTitle), true, show);
  if (!c) return;
  if (show)
    guides_ = c;
  else
    guides_.reset();
  apply_guides();
}

void TuningTools::apply_guides() {
  gfx::Model& m = p_.gfx;
  auto* plot = dynamic_cast<gfx::Axes*>(m.find(p_.globals.plothandle));
  if (!plot || !m.window(kMainWindow)) return;
  if (!guides_) {
    if (!analysis::damping_guide_objects(m, *plot).empty())
      analysis::draw_damping_guides(m, *plot, {});
    return;
  }
  const analysis::ShownUnits units = analysis::shown_units(si_shown());
  const double cc = analysis::critical_damping(guides_->mass_kg, guides_->rate_n_per_mm);
  const double to = plot->xlim[1] > 0 ? plot->xlim[1] : 1;
  const std::vector<analysis::GuideLine> lines = analysis::damping_guides(cc, units.factors, to);
  // Drawn again only when what they depend on changed or a redraw took them away.
  const std::array<double, 6> key = {
      cc, units.factors.velocity, plot->xlim[0], plot->xlim[1], plot->ylim[0], plot->ylim[1]};
  const std::vector<gfx::Object*> present = analysis::damping_guide_objects(m, *plot);
  bool same = key == drawn_for_ && present.size() == 2 * lines.size();
  for (std::size_t k = 0; same && k < present.size(); ++k)
    same = plot->children()[k] == present[k]->handle();
  if (same) return;
  analysis::draw_damping_guides(m, *plot, lines);
  drawn_for_ = key;
}

void TuningTools::ratio() {
  bool show = true;
  const std::optional<Corner> c = ask_corner(std::string(kRatioTitle), false, show);
  if (!c) return;
  const bool si = si_shown();
  const Globals& g = p_.globals;
  const int stored = g.counter >= 1 ? static_cast<int>(g.counter) - 1 : 0;
  if (stored < 1) throw RuntimeError("The damping ratio needs a stored curve; none is stored.");
  const double cc = analysis::critical_damping(c->mass_kg, c->rate_n_per_mm);
  const analysis::ShownUnits units = analysis::shown_units(si);
  analysis::show_ratio_window(
      p_.gfx, analysis::damping_ratio_curves(g.plotdata, g.counter, units.factors, cc), units,
      c->mass_kg, c->rate_n_per_mm, cc);
}

}  // namespace quorin
