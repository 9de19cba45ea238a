#include "app/measured_tools.h"

#include <cstdint>
#include <cstdio>

#include "analysis/tool_windows.h"
#include "app/comparison_tools.h"
#include "app/menu_parts.h"
#include "measured/processing.h"
#include "plotting/overlays.h"
#include "processor/processor.h"
#include "services/numeric.h"
#include "services/runtime_error.h"
#include "startup/program.h"

namespace quorin {
namespace {

constexpr int kMainWindow = 1;
constexpr int kComparisonWindow = 2;
constexpr std::string_view kRunPattern = "*.csv *.txt *.tsv *.dat";
constexpr std::string_view kRunTitle = "Read Dyno Run File";
constexpr std::string_view kTrackTitle = "Read Track Data";
constexpr std::string_view kColumnsTitle = "Columns of the File";
constexpr std::string_view kCorrectionsTitle = "Gas Force and Friction";
constexpr std::string_view kWholeTitle = "Whole Set-up Fitted";
constexpr std::string_view kTakeOff = "Take off the curve";
constexpr std::string_view kLeaveIn = "Leave in the curve";
constexpr std::string_view kBothSides = "Both";
constexpr std::string_view kCompressionOnly = "Compression";
constexpr std::string_view kReboundOnly = "Rebound";



// A short, stable name of a header line for the settings key (FNV-1a, 64 bits).
std::string header_key(const measured::Layout& layout) {
  std::uint64_t h = 14695981039346656037ull;
  for (const measured::Column& c : layout.columns) {
    for (char ch : c.header + "|") {
      h ^= static_cast<unsigned char>(ch);
      h *= 1099511628211ull;
    }
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  return std::string(kColumnsKey) + hex;
}

std::vector<std::string> split_tabs(const std::string& s) {
  std::vector<std::string> out(1);
  for (char c : s) {
    if (c == '\t')
      out.emplace_back();
    else
      out.back() += c;
  }
  return out;
}

// A column told to be `q`, in the unit the question names.
void tell(measured::Column& c, measured::Quantity q) {
  c.quantity = q;
  c.unit = {q == measured::Quantity::Displacement ? 0.001 : 1.0, 0, {}};
}

std::string file_name(const std::filesystem::path& p) {
  return p.filename().string();
}

}  // namespace

bool MeasuredTools::si_shown() {
  return main_window_control(p_.gfx, "SIUnits").value == 1;
}

std::optional<measured::Layout> MeasuredTools::named_layout(const std::string& text,
                                                            const std::string& file, bool ask) {
  measured::Layout layout;
  try {
    layout = measured::read_layout(text);
  } catch (const RuntimeError& e) {
    throw RuntimeError("The file \"" + file + "\": " + e.what());
  }
  std::vector<std::size_t> unknown;
  for (std::size_t c = 0; c < layout.columns.size(); ++c)
    if (layout.columns[c].quantity == measured::Quantity::Unknown) unknown.push_back(c);
  if (unknown.empty() || !ask) return layout;
  const std::string key = header_key(layout);
  const std::optional<std::string> kept = p_.settings->value(key);
  const std::vector<std::string> remembered = kept ? split_tabs(*kept) : std::vector<std::string>{};
  std::vector<std::string> labels;
  for (measured::Quantity q : measured::askable_quantities())
    labels.emplace_back(measured::quantity_label(q));
  std::vector<InputField> fields;
  for (std::size_t k = 0; k < unknown.size(); ++k) {
    const std::string initial =
        k < remembered.size() &&
                measured::quantity_labelled(remembered[k]) != measured::Quantity::Unknown
            ? remembered[k]
            : labels.front();
    fields.push_back({"Column " + std::to_string(unknown[k] + 1) + " \"" +
                          layout.columns[unknown[k]].header + "\"",
                      initial, labels});
  }
  const InputAnswer a = p_.dialogs.input(std::string(kColumnsTitle), fields);
  if (!a) return std::nullopt;
  std::string told;
  for (std::size_t k = 0; k < unknown.size(); ++k) {
    const std::string& answer = k < a->size() ? a->at(k) : fields[k].initial;
    const measured::Quantity q = measured::quantity_labelled(answer);
    if (q == measured::Quantity::Unknown)
      throw RuntimeError("\"" + answer + "\" is not a kind of column; choose one of the list.");
    tell(layout.columns[unknown[k]], q);
    told += (k ? "\t" : "") + answer;
  }
  p_.settings->set_value(key, told);
  return layout;
}

void MeasuredTools::read_run() {
  const std::string folder = p_.globals.pn.value_or(p_.current_folder.string() + "/");
  const DialogResult r =
      p_.dialogs.open_file(folder + std::string(kRunPattern), std::string(kRunTitle));
  if (r.cancelled) return;
  const std::filesystem::path file = std::filesystem::path(r.folder) / r.file;
  const std::string text = measured::run_file_text(file);
  const std::optional<measured::Layout> layout = named_layout(text, file_name(file), true);
  if (!layout) return;
  measured::RunFile runs = measured::read_runs(text, *layout, file_name(file));
  measured::Processed processed = measured::process(runs);
  const std::string take_off(kTakeOff), leave_in(kLeaveIn);
  const InputAnswer a = p_.dialogs.input(
      std::string(kCorrectionsTitle),
      {{"Gas force of " + num2str(processed.gas_force_n) + " N", take_off, {take_off, leave_in}},
       {"Seal friction of " + num2str(processed.friction_n) + " N",
        take_off,
        {take_off, leave_in}}});
  if (!a) return;
  const bool less_gas = a->at(0) != leave_in;
  const bool less_friction = a->size() < 2 || a->at(1) != leave_in;
  analysis::DynoRunShown shown{
      file_name(file), std::move(processed), less_gas, less_friction, {}, {}};
  shown.notes = std::move(runs.notes);
  for (const std::string& n : shown.processed.notes) shown.notes.push_back(n);
  shown.curve = measured::extracted_curve(shown.processed, less_gas, less_friction);
  run_ = std::move(shown);
  overlay_curve();
  show_run_window();
}

bool MeasuredTools::load_run(const std::filesystem::path& file, bool less_gas, bool less_friction) {
  const std::string text = measured::run_file_text(file);
  const std::optional<measured::Layout> layout = named_layout(text, file_name(file), true);
  if (!layout) return false;
  measured::RunFile runs = measured::read_runs(text, *layout, file_name(file));
  analysis::DynoRunShown shown{
      file_name(file), measured::process(runs), less_gas, less_friction, {}, std::move(runs.notes)};
  for (const std::string& n : shown.processed.notes) shown.notes.push_back(n);
  shown.curve = measured::extracted_curve(shown.processed, less_gas, less_friction);
  run_ = std::move(shown);
  overlay_curve();
  show_run_window();
  return true;
}

void MeasuredTools::overlay_curve() {
  Globals& g = p_.globals;
  gfx::Model& m = p_.gfx;
  if (p_.tools) p_.tools->before_undoable();
  // The extracted curve becomes the dyno curve, held on the graph as a dyno file's is.
  Value shock = Value::record();
  shock.set_field("fn", Value::text(run_->file));
  Value page = Value::record();
  Value velocity = Value::record(), force = Value::record();
  velocity.set_field("Data", Value::row(run_->curve.velocity));
  velocity.set_field("Units", Value::text("MetersPerSecond"));
  force.set_field("Data", Value::row(run_->curve.force));
  force.set_field("Units", Value::text("Newtons"));
  page.set_field("Velocity", std::move(velocity));
  page.set_field("Force", std::move(force));
  shock.set_field("Speed_1", std::move(page));
  main_window_control(m, "holdroehrig").value = 1;
  // The limits and unit flags as the main window shows them: the dispatcher's prologue with
  // no action.
  m.figure(kMainWindow);
  Processor proc = p_.processor();
  quorin_processor_ct(proc, "");
  g.ShockData = std::move(shock);
  gfx::Window& plot_window = m.figure(kComparisonWindow);
  m.set_current_axes(g.plothandle);
  gfx::Axes& axes = m.get<gfx::Axes>(g.plothandle);
  draw_dyno_curve(m, axes, g.ShockData, g.siunits == 1, &p_.console);
  finish_overlay(plot_window, axes, g.xmin, g.xmax, g.ymin, g.ymax);
  m.touch();
  m.figure(kMainWindow);
}

void MeasuredTools::show_run_window() {
  if (!run_)
    throw RuntimeError(
        "No dyno run has been read; read one with \"Read dyno run file\xE2\x80\xA6\".");
  analysis::show_dyno_run_window(p_.gfx, *run_, analysis::shown_units(si_shown()),
                                 command_text("dynoruncopy"));
}

void MeasuredTools::copy_figures() {
  if (!run_)
    throw RuntimeError(
        "No dyno run has been read; read one with \"Read dyno run file\xE2\x80\xA6\".");
  p_.clipboard->set_text(analysis::dyno_run_tsv(*run_, analysis::shown_units(si_shown())));
}

void MeasuredTools::whole_setup() {
  const std::string both(kBothSides), comp(kCompressionOnly), reb(kReboundOnly);
  const InputAnswer a =
      p_.dialogs.input(std::string(kWholeTitle), {{"Sides", both, {both, comp, reb}}});
  if (!a) return;
  const std::string& sides = a->at(0);
  if (sides != both && sides != comp && sides != reb)
    throw RuntimeError("\"" + sides + "\" is not a side; choose Both, Compression or Rebound.");
  fit(sides != reb, sides != comp);
}

void MeasuredTools::fit(bool compression, bool rebound) {
  gfx::Model& m = p_.gfx;
  const bool si = si_shown();
  const analysis::MeasuredSides measured = p_.tools->tuning_tools().held_dyno_curve(si);
  const analysis::ClickRows rows{
      main_window_control(m, "LSC").items, main_window_control(m, "HSC").items,
      main_window_control(m, "LSR").items, main_window_control(m, "HSR").items};
  const analysis::ValveRows valves{main_window_control(m, "CompressionValve").items,
                                   main_window_control(m, "CompressionSpring").items,
                                   main_window_control(m, "ReboundValve").items,
                                   main_window_control(m, "ReboundSpring").items};
  m.figure(kMainWindow);
  const SetupSelection setup = read_setup(m);
  const BleedData& bleeds = p_.bleed_cache.get(p_.current_folder);
  const analysis::ShownUnits units = analysis::shown_units(si);
  analysis::WholeSetup found;
  {
    ProgressShown progress(*p_.progress, std::string(kWholeTitle));
    found = analysis::whole_setup(
        setup, valves, rows, p_.globals, bleeds, units.factors, measured, analysis::band_edges(si),
        compression, rebound, 5,
        [&](std::size_t done, std::size_t total) { return progress.advance(done, total); });
  }
  // The best of each side, as PLOT would draw it.
  std::array<std::vector<double>, 4> best;
  for (bool comp : {true, false}) {
    const analysis::WholeSide& side = comp ? found.compression : found.rebound;
    if (side.best.empty()) continue;
    const SetupSelection s = analysis::with_whole_candidate(setup, comp, side.best.front(), rows);
    analysis::ClosestSetup one;
    (comp ? one.compression : one.rebound).best.push_back(side.best.front().clicks);
    const std::array<std::vector<double>, 4> curves =
        analysis::best_curves(s, rows, one, p_.globals, bleeds, units.factors);
    best[comp ? 0 : 2] = curves[comp ? 0 : 2];
    best[comp ? 1 : 3] = curves[comp ? 1 : 3];
  }
  analysis::show_whole_setup_window(m, found, measured, best, units, si,
                                    command_text("usewholesetup"));
  fit_ = std::move(found);
}

void MeasuredTools::use_whole_setup() {
  if (!fit_) throw RuntimeError("No search for the whole set-up has been run.");
  if (fit_->compression.best.empty() && fit_->rebound.best.empty())
    throw RuntimeError("The search found no whole set-up for either side; nothing was changed.");
  gfx::Model& m = p_.gfx;
  // Every popup is checked before any is changed.
  struct Change {
    gfx::Control* popup;
    std::size_t row;
  };
  std::vector<Change> changes;
  auto add = [&](std::string_view tag, std::size_t row) {
    gfx::Control& popup = main_window_control(m, tag);
    if (row < 1 || row > popup.items.size())
      throw RuntimeError("The popup " + std::string(tag) +
                         " has changed since the search; nothing was changed.");
    changes.push_back({&popup, row});
  };
  if (!fit_->compression.best.empty()) {
    const analysis::WholeCandidate& c = fit_->compression.best.front();
    add("CompressionValve", c.valve_row);
    add("CompressionSpring", c.spring_row);
    add("LSC", c.clicks.low_row);
    add("HSC", c.clicks.high_row);
  }
  if (!fit_->rebound.best.empty()) {
    const analysis::WholeCandidate& c = fit_->rebound.best.front();
    add("ReboundValve", c.valve_row);
    add("ReboundSpring", c.spring_row);
    add("LSR", c.clicks.low_row);
    add("HSR", c.clicks.high_row);
  }
  for (const Change& c : changes) c.popup->value = static_cast<double>(c.row);
  // The valve seats follow the valves, as choosing a valve by hand shows them.
  m.figure(kMainWindow);
  Processor proc = p_.processor();
  quorin_processor_ct(proc, "valveseatcompression");
  quorin_processor_ct(proc, "valveseatrebound");
  m.touch();
}

void MeasuredTools::read_track() {
  const std::string folder = p_.globals.pn.value_or(p_.current_folder.string() + "/");
  const DialogResult r =
      p_.dialogs.open_file(folder + std::string(kRunPattern), std::string(kTrackTitle));
  if (r.cancelled) return;
  load_track(std::filesystem::path(r.folder) / r.file);
}

bool MeasuredTools::load_track(const std::filesystem::path& file) {
  const std::string text = measured::run_file_text(file);
  const std::optional<measured::Layout> layout = named_layout(text, file_name(file), true);
  if (!layout) return false;
  const measured::TrackFile track = measured::read_track(text, *layout, file_name(file));
  track_ = measured::track_histograms(track);
  bands_shown_ = true;
  apply_track_bands();
  analysis::show_track_window(p_.gfx, track_, analysis::shown_units(si_shown()), file_name(file));
  return true;
}

void MeasuredTools::hide_track_bands() {
  if (track_.empty())
    throw RuntimeError(
        "No track data has been read; read a logger file with \"Track data\xE2\x80\xA6\".");
  bands_shown_ = false;
  apply_track_bands();
}

void MeasuredTools::apply_track_bands() {
  gfx::Model& m = p_.gfx;
  auto* plot = dynamic_cast<gfx::Axes*>(m.find(p_.globals.plothandle));
  if (!plot || !m.window(kMainWindow)) return;
  if (!bands_shown_ || track_.empty()) {
    if (!analysis::track_band_objects(m, *plot).empty())
      analysis::draw_track_bands(m, *plot, {}, {});
    return;
  }
  const analysis::ShownUnits units = analysis::shown_units(si_shown());
  // Drawn again only when what they depend on changed or a redraw took them away.
  const std::array<double, 6> key = {units.factors.velocity, plot->ylim[0],
                                     plot->ylim[1],          plot->xlim[0],
                                     plot->xlim[1],          static_cast<double>(track_.size())};
  const std::vector<gfx::Object*> present = analysis::track_band_objects(m, *plot);
  if (key == bands_drawn_for_ && present.size() == 4 * track_.size()) return;
  analysis::draw_track_bands(m, *plot, track_, units);
  bands_drawn_for_ = key;
}

}  // namespace quorin
