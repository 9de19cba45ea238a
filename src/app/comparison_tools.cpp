#include "app/comparison_tools.h"

#include <array>
#include <cmath>
#include <fstream>
#include <memory>
#include <vector>

#include "analysis/curve_points.h"
#include "analysis/hidden_curves.h"
#include "analysis/tool_windows.h"
#include "analysis/velocity_table.h"
#include "app/menu_parts.h"
#include "plotting/plotfunction.h"
#include "processor/balance_corners.h"
#include "processor/processor.h"
#include "services/documents.h"
#include "services/file_io.h"
#include "services/numeric.h"
#include "services/outputs.h"
#include "services/runtime_error.h"
#include "startup/program.h"
#include "windows/quorin_interface_v41.h"
#include "windows/window_data.h"

namespace quorin {
namespace {

constexpr int kMainWindow = 1;
constexpr int kComparisonWindow = 2;

constexpr std::string_view kPictureFilter = "*.png *.svg *.pdf";
constexpr std::string_view kPictureTitle = "Save Picture As";
constexpr std::string_view kCsvFilter = "*.csv";
constexpr std::string_view kCsvTitle = "Save Curves As";
constexpr std::string_view kResolutionTitle = "Picture Resolution";
constexpr std::string_view kDifferenceTitle = "Difference of Two Curves";
constexpr int kDefaultDpi = 300;
constexpr int kBalanceCurves = 4;


// Puts the context menu of window `w` together from the actions offered there.
void add_menu(gfx::Model& m, gfx::Window& w, bool main_window) {
  for (auto* old : m.children_of<gfx::Menu>(w))
    if (old->kind() == gfx::Kind::ContextMenu) m.delete_object(old->handle());
  gfx::Menu& menu = m.new_menu(w, gfx::Kind::ContextMenu);
  for (const ProgramAction& a : ComparisonTools::actions()) {
    const bool offered =
        a.place == ActionPlace::BothMenus ||
        a.place == (main_window ? ActionPlace::MainMenu : ActionPlace::ComparisonMenu);
    if (!offered) continue;
    gfx::Menu& entry = m.new_menu(menu);
    entry.label = std::string(a.label);
    entry.callback = a.command.empty() ? command_text(a.id) : std::string(a.command);
    // Undo and Redo stand apart from the main window's own items below them.
    entry.separator = a.separator && (!main_window || a.place == ActionPlace::MainMenu);
    entry.accelerator = std::string(a.key);
  }
}

// A whole number written in a dialog; throws RuntimeError naming what it was for.
int whole_number(const std::string& text, std::string_view what) {
  const std::optional<double> v = str2double(text);
  if (!v || *v != std::floor(*v) || std::abs(*v) > 1e9)
    throw RuntimeError("The " + std::string(what) + " \"" + text + "\" is not a whole number.");
  return static_cast<int>(*v);
}

std::filesystem::path answered_path(const DialogResult& r) {
  return std::filesystem::path(r.folder) / r.file;
}

void write_text_file(const std::filesystem::path& file, const std::string& text) {
  write_whole(file, text);
}

}  // namespace

ComparisonTools& ComparisonTools::attach(Program& program) {
  auto tools = std::make_unique<ComparisonTools>(program);
  ComparisonTools& attached = *tools;
  program.tools = &attached;
  program.menus = std::move(tools);
  return attached;
}

void ComparisonTools::install_menus() {
  gfx::Model& m = p_.gfx;
  if (gfx::Window* w = m.window(kComparisonWindow)) add_menu(m, *w, false);
  if (gfx::Window* w = m.window(kMainWindow)) add_menu(m, *w, true);
  m.touch();
}

bool ComparisonTools::run(const Command& c) {
  if (c.name == kHelpCommand) {
    p_.dialogs.open_document(c.inputs.empty() ? std::string(kUserGuide) : c.inputs[0]);
    return true;
  }
  if (c.name != kMenuCommand) return false;
  if (c.inputs.empty()) throw RuntimeError("comparison_menu needs the name of an item.");
  const std::string& item = c.inputs[0];
  const std::string argument = c.inputs.size() > 1 ? c.inputs[1] : std::string();
  gfx::Window* from = p_.gfx.current_window();
  const int origin = from ? from->number : kMainWindow;
  const auto all = actions();
  const auto action = std::find_if(all.begin(), all.end(), [&](const ProgramAction& a) {
    return a.id == item && a.run && a.command.empty();
  });
  if (action == all.end()) throw RuntimeError("The menu has no item \"" + item + "\".");
  action->run(*this, argument);
  // Undo, redo and the legend leave the user where they were.
  if ((item == "undo" || item == "redo" || item == "togglecurve") && p_.gfx.window(origin))
    p_.gfx.figure(origin);
  return true;
}

std::span<const ProgramAction> ComparisonTools::actions() {
  using P = ActionPlace;
  using T = ComparisonTools;
  using A = const std::string&;
  static const std::vector<ProgramAction> kActions = {
      {"savepicture", "Save picture\xE2\x80\xA6", "Ctrl+S", P::ComparisonMenu, false, false,
       "the window as PNG (96, 150, 300 or 600 dpi, asked after the file), SVG or PDF; SVG and PDF "
       "are vectors with their texts as text, drawn by the screen's painter with the legend whole",
       [](T& t, A) { t.save_picture(); }},
      {"copycurves", "Copy curves", "Ctrl+C", P::ComparisonMenu, false, false,
       "every drawn point of every stored curve and of the import, dyno and Add 3rd curves on the "
       "graph to the clipboard, tab-separated",
       [](T& t, A) { t.copy_curves(); }},
      {"savecsv", "Save curves as CSV\xE2\x80\xA6", "Ctrl+E", P::ComparisonMenu, false, false,
       "the same rows as a CSV file (comma-separated, quoted where needed, CRLF)",
       [](T& t, A) { t.save_csv(); }},
      {"table", "Table at velocities\xE2\x80\xA6", "Ctrl+T", P::ComparisonMenu, false, true,
       "a window with each stored curve's compression and rebound force at a list of velocities "
       "(the export grid by default; edit the list and press Enter), interpolated linearly on the "
       "drawn curve, blank where a curve ends; Copy puts it on the clipboard, Difference… asks for "
       "two curves",
       [](T& t, A) { t.show_table(); }},
      {"difference", "Difference\xE2\x80\xA6", "Ctrl+D", P::ComparisonMenu, false, false,
       "asks for curves A and B and opens the \"Difference\" window: ΔF = F_B − F_A and ΔF / F_A "
       "in percent against velocity, compression and rebound",
       [](T& t, A) { t.difference(); }},
      {"balance", "Front/rear balance", "Ctrl+B", P::ComparisonMenu, false, false,
       "with four or more stored curves, the balance of curves 1 to 4 (left front, right front, "
       "left rear, right rear) in both turn windows, in the units shown",
       [](T& t, A) { t.balance(); }},
      {"sweep", "Clicker sweep\xE2\x80\xA6", "Ctrl+K", P::ComparisonMenu, false, true,
       "one curve per click of one adjuster, with a table of forces",
       [](T& t, A) { t.tuning_.sweep(); }},
      {"closest", "Closest set-up to the dyno curve\xE2\x80\xA6", "Ctrl+F", P::ComparisonMenu,
       false, false, "the LSC × HSC and LSR × HSR combinations closest to the held dyno curve",
       [](T& t, A) { t.tuning_.closest(); }},
      {"dynoerror", "Error against the dyno curve", "Ctrl+Shift+F", P::ComparisonMenu, false, false,
       "how far each stored curve is from the held dyno curve",
       [](T& t, A) { t.tuning_.dyno_error(); }},
      {"guides", "Damping guides\xE2\x80\xA6", "Ctrl+G", P::ComparisonMenu, false, false,
       "lines of constant damping ratio behind the curves",
       [](T& t, A) { t.tuning_.ask_guides(); }},
      {"ratio", "Damping ratio\xE2\x80\xA6", "Ctrl+Shift+G", P::ComparisonMenu, false, false,
       "the damping ratio of each stored curve against velocity",
       [](T& t, A) { t.tuning_.ratio(); }},
      {"ride", "Ride and grip\xE2\x80\xA6", "Ctrl+R", P::ComparisonMenu, false, true,
       "what each stored curve does to one corner of the car (a quarter car with that damper) on a "
       "class road or a road file, over a kerb and on a shaker: tyre-load variation, time off the "
       "road, body acceleration, travel, damper-velocity histogram and transmissibility",
       [](T& t, A) { t.ride_.ride(); }},
      {"gripmap", "Grip map\xE2\x80\xA6", "Ctrl+Shift+M", P::ComparisonMenu, false, false,
       "a clicker sweep of one adjuster or both adjusters of a side on the road: tyre-load "
       "variation against body acceleration, one point a set-up, the best compromises joined; a "
       "click on a point sets those clicks",
       [](T& t, A) { t.ride_.grip(); }},
      {"readrun", "Read dyno run file\xE2\x80\xA6", "Ctrl+Shift+R", P::ComparisonMenu, false, true,
       "a raw dyno run file (time, displacement, force, and velocity and temperature when there) "
       "made into its peak-velocity curve, held as the dyno curve; gas force and seal friction "
       "taken off when asked",
       [](T& t, A) { t.measured_.read_run(); }},
      {"dynorun", "Dyno run window", "Ctrl+Shift+N", P::ComparisonMenu, false, false,
       "the loops of each run, the peak-velocity curve with its spread, and the gas force, "
       "friction and temperatures found",
       [](T& t, A) { t.measured_.show_run_window(); }},
      {"dynoruncopy", "Copy dyno run figures", "Ctrl+Shift+C", P::ComparisonMenu, false, false,
       "the dyno run's figures and points to the clipboard, tab-separated",
       [](T& t, A) { t.measured_.copy_figures(); }},
      {"wholesetup", "Whole set-up fitted\xE2\x80\xA6", "Ctrl+Shift+W", P::ComparisonMenu, false,
       false,
       "the best five valves, springs and clicks of each side for the held dyno curve, searched "
       "over every valve/shim combination and spring",
       [](T& t, A) { t.measured_.whole_setup(); }},
      {"trackdata", "Track data\xE2\x80\xA6", "Ctrl+Shift+L", P::ComparisonMenu, false, false,
       "a logger file's damper-velocity histogram per corner, the speeds below which 50, 90 and 99 "
       "% of the time is spent, and those bands shaded on the velocity axis",
       [](T& t, A) { t.measured_.read_track(); }},
      {"hidetrack", "Hide track data bands", "Ctrl+Shift+H", P::ComparisonMenu, false, false,
       "takes the track data bands off the velocity axis",
       [](T& t, A) { t.measured_.hide_track_bands(); }},
      {"undo", "Undo", "Ctrl+Z", P::BothMenus, false, true,
       "takes back the last PLOT, UPDATE #, CLEAR, Add 3rd, IMPORT or dyno overlay, twenty steps "
       "deep; also in the main window",
       [](T& t, A) { t.undo(false); }},
      {"redo", "Redo", "Ctrl+Shift+Z", P::BothMenus, false, false,
       "brings back what Undo took back; also in the main window", [](T& t, A) { t.undo(true); }},
      {"reopen", "Reopen last session", "", P::MainMenu, true, true,
       "brings back the curves, held curves and selections of the session that last ended with "
       "EXIT (and can itself be undone)",
       nullptr, kReopenCommand},
      {"tablevelocities", "Velocities", "Enter", P::ToolWindow, false, false,
       "the table window's velocity list: Enter shows the forces at the velocities typed",
       [](T& t, A) { t.show_table(); }},
      {"tablecopy", "Copy", "", P::ToolWindow, false, false,
       "the table window's Copy: the table to the clipboard", [](T& t, A) { t.copy_table(); }},
      {"togglecurve", "Legend marker", "", P::ToolWindow, false, false,
       "a click on a curve's square in the legend hides the curve; a second click shows it",
       [](T& t, A n) { t.toggle_curve(n); }},
      {"sweepcopy", "Copy", "", P::ToolWindow, false, false,
       "the sweep window's Copy: its table of forces to the clipboard",
       [](T& t, A) { t.tuning_.copy_sweep(); }},
      {"usebest", "Set best clicks", "", P::ToolWindow, false, false,
       "the closest set-up window's button: the best clicks of each side that has one into the "
       "main window",
       [](T& t, A) { t.tuning_.use_best(); }},
      {"library", "Library\xE2\x80\xA6", "Ctrl+L", P::BothMenus, false, true,
       "the set-up library: every set-up kept with its car, corner, event and notes; search, open, "
       "PLOT, compare, import, export and merge, in a file or on a team server",
       [](T& t, A) { t.library_.show(); }},
      {"librarysearch", "Search", "", P::ToolWindow, false, false,
       "the library window's search: track, dates, valve, spring, clicks and words in the notes",
       [](T& t, A) { t.library_.search(); }},
      {"librarysave", "Save to library", "", P::ToolWindow, false, false,
       "keeps the main window's set-up in the library, asking car, corner, event and notes",
       [](T& t, A) { t.library_.save_from_main(); }},
      {"libraryopen", "Open", "", P::ToolWindow, true, false,
       "puts the chosen set-up into the main window",
       [](T& t, A number) {
         t.before_undoable_selections();
         t.library_.open(number);
       }},
      {"libraryplot", "PLOT", "", P::ToolWindow, true, false,
       "puts the chosen set-up into the main window and plots it",
       [](T& t, A number) {
         t.before_undoable_selections();
         t.library_.plot(number);
       }},
      {"librarycompare", "Compare...", "", P::ToolWindow, false, false,
       "two or more set-ups side by side, every field that differs from the reference marked",
       [](T& t, A) { t.library_.ask_compare(); }},
      {"libraryimport", "Import...", "", P::ToolWindow, false, false,
       "a folder of damper files into the library, a set-up each",
       [](T& t, A) { t.library_.ask_import(); }},
      {"libraryexport", "Export...", "", P::ToolWindow, false, false,
       "the set-ups found as damper files, CSV or a library file",
       [](T& t, A) { t.library_.ask_export(); }},
      {"librarymerge", "Merge...", "", P::ToolWindow, false, false,
       "a library file from a colleague into this one, without duplicates",
       [](T& t, A) { t.library_.ask_merge(); }},
      {"libraryserver", "Server...", "", P::ToolWindow, false, false,
       "the team server to keep the library on (host, database, user)",
       [](T& t, A) { t.library_.ask_server(); }},
      {"ridecopy", "Copy", "", P::ToolWindow, false, false,
       "the ride window's Copy: its results table to the clipboard",
       [](T& t, A) { t.ride_.copy(); }},
      {"ridesaveroad", "Save road", "", P::ToolWindow, false, false,
       "the ride window's Save road: the generated road as a text file of distance and height",
       [](T& t, A) { t.ride_.save_road(); }},
      {"gripclick", "Grip map point", "", P::ToolWindow, false, false,
       "a click on a point of the grip map sets its clicks in the main window",
       [](T& t, A i) { t.ride_.grip_click(i); }},
      {"usewholesetup", "Set whole set-up", "", P::ToolWindow, false, false,
       "the whole set-up window's button: valves, springs and the four clicks of the best into the "
       "main window",
       [](T& t, A) { t.measured_.use_whole_setup(); }},
      {"view", "PLOT", "", P::MainButton, true},
      {"overwrite", "UPDATE #", "", P::MainButton, true},
      {"clear", "CLEAR", "", P::MainButton, true},
      {"add3rd", "Add 3rd", "", P::MainButton, true},
      {"import", "IMPORT", "", P::MainButton, true},
      {"roehrig", "Dyno file", "", P::MainButton, true},
      {"exit", "EXIT", "", P::MainButton, false},
  };
  return kActions;
}

void ComparisonTools::before_command(const Command& c) {
  before_.reset();
  if (c.name != "quorin_processor_ct" || c.inputs.empty()) return;
  for (const ProgramAction& a : actions())
    if (a.place == ActionPlace::MainButton && a.undoable && c.inputs[0] == a.id)
      before_ = capture();
}

void ComparisonTools::after_command() {
  if (before_) {
    // Compared in place: a copy of the plot as it is now could be tens of MB (an import of a
    // million rows).
    Globals& g = p_.globals;
    auto* plot = dynamic_cast<gfx::Axes*>(p_.gfx.find(g.plothandle));
    auto* legend = dynamic_cast<gfx::Axes*>(p_.gfx.find(g.IDhandle));
    const bool selections_changed =
        !before_->selections.empty() && before_->selections != actions::read_selections(p_.gfx);
    if (plot && legend &&
        (selections_changed ||
         !analysis::plot_still_in(*before_, g.plotdata, g.counter, g.counter2, g.import,
                                  g.ShockData, p_.gfx, plot, legend)))
      history_.record(std::move(*before_));
    before_.reset();
  }
  apply_hidden();
  tuning_.apply_guides();
  measured_.apply_track_bands();
}

std::optional<analysis::PlotState> ComparisonTools::capture(bool with_selections) {
  Globals& g = p_.globals;
  gfx::Model& m = p_.gfx;
  auto* plot = dynamic_cast<gfx::Axes*>(m.find(g.plothandle));
  auto* legend = dynamic_cast<gfx::Axes*>(m.find(g.IDhandle));
  if (!plot || !legend) return std::nullopt;
  analysis::PlotState s;
  s.plotdata = g.plotdata;
  s.counter = g.counter;
  s.counter2 = g.counter2;
  s.import = g.import;
  s.ShockData = g.ShockData;
  s.plot = analysis::capture_axes(m, *plot);
  s.legend = analysis::capture_axes(m, *legend);
  s.si = si_shown();
  if (with_selections) s.selections = actions::read_selections(m);
  return s;
}

void ComparisonTools::restore(const analysis::PlotState& s) {
  Globals& g = p_.globals;
  gfx::Model& m = p_.gfx;
  if (!s.selections.empty()) {
    Processor proc = p_.processor();
    actions::apply_selections(proc, s.selections, "the undo history");
  }
  g.plotdata = s.plotdata;
  g.counter = s.counter;
  g.counter2 = s.counter2;
  g.import = s.import;
  g.ShockData = s.ShockData;
  m.figure(kComparisonWindow);
  if (s.plot) analysis::restore_axes(m, m.get<gfx::Axes>(g.plothandle), *s.plot);
  if (s.legend) analysis::restore_axes(m, m.get<gfx::Axes>(g.IDhandle), *s.legend);
  // A state drawn in the other units is drawn again in the units the main window shows, as
  // Rescale draws it.
  if (s.si != si_shown()) {
    m.figure(kMainWindow);
    Processor proc = p_.processor();
    quorin_processor_ct(proc, "rescale");
    m.figure(kComparisonWindow);
  }
}

void ComparisonTools::apply_hidden() {
  Globals& g = p_.globals;
  gfx::Model& m = p_.gfx;
  // Numbers no longer stored are forgotten, so a curve plotted later starts shown.
  const int stored = g.counter >= 1 ? static_cast<int>(g.counter) - 1 : 0;
  std::erase_if(hidden_, [&](int n) { return n > stored; });
  auto* plot = dynamic_cast<gfx::Axes*>(m.find(g.plothandle));
  auto* legend = dynamic_cast<gfx::Axes*>(m.find(g.IDhandle));
  if (!plot || !legend) return;
  analysis::apply_hidden_curves(m, *plot, *legend, hidden_, [](int n) {
    return command_text("togglecurve", std::to_string(n));
  });
}

bool ComparisonTools::si_shown() {
  gfx::Window* w = p_.gfx.window(kMainWindow);
  if (!w) throw RuntimeError("The main window is not open.");
  for (gfx::Object* o : p_.gfx.find_all_by_tag(*w, "SIUnits"))
    if (auto* c = dynamic_cast<gfx::Control*>(o)) return c->value == 1;
  throw RuntimeError("The control \"SIUnits\" is not in the main window.");
}

void ComparisonTools::save_picture() {
  if (!p_.gfx.window(kComparisonWindow)) throw RuntimeError("The comparison window is not open.");
  const std::string folder = p_.globals.pn.value_or(p_.current_folder.string() + "/");
  const DialogResult r =
      p_.dialogs.save_file(folder + std::string(kPictureFilter), std::string(kPictureTitle));
  if (r.cancelled) return;
  PictureRequest request{kComparisonWindow, answered_path(r), PictureFormat::Png, kScreenDpi};
  if (request.file.extension().empty()) {
    request.file += std::string(extension_of(PictureFormat::Png));
  } else if (!picture_format_of(request.file, request.format)) {
    throw RuntimeError("Pictures are saved as .png, .svg or .pdf files, not as \"" + r.file +
                       "\".");
  }
  if (request.format == PictureFormat::Png) {
    InputField dpi{"Resolution (dots per inch)", std::to_string(kDefaultDpi), {}};
    for (int d : kPictureDpis) dpi.choices.push_back(std::to_string(d));
    const InputAnswer a = p_.dialogs.input(std::string(kResolutionTitle), {dpi});
    if (!a) return;
    request.dpi = whole_number(a->at(0), "resolution");
    if (std::find(kPictureDpis.begin(), kPictureDpis.end(), request.dpi) == kPictureDpis.end())
      throw RuntimeError("Pictures are saved at 96, 150, 300 or 600 dots per inch, not " +
                         std::to_string(request.dpi) + ".");
  }
  p_.pictures->write_picture(request);
}

void ComparisonTools::copy_curves() {
  const analysis::ShownUnits units = analysis::shown_units(si_shown());
  std::vector<analysis::DrawnCurve> curves =
      analysis::stored_curves(p_.globals.plotdata, p_.globals.counter, units.factors);
  if (auto* plot = dynamic_cast<gfx::Axes*>(p_.gfx.find(p_.globals.plothandle)))
    for (auto& c : analysis::overlay_curves(p_.gfx, *plot)) curves.push_back(std::move(c));
  p_.clipboard->set_text(analysis::points_tsv(curves, units));
}

void ComparisonTools::save_csv() {
  const analysis::ShownUnits units = analysis::shown_units(si_shown());
  std::vector<analysis::DrawnCurve> curves =
      analysis::stored_curves(p_.globals.plotdata, p_.globals.counter, units.factors);
  if (auto* plot = dynamic_cast<gfx::Axes*>(p_.gfx.find(p_.globals.plothandle)))
    for (auto& c : analysis::overlay_curves(p_.gfx, *plot)) curves.push_back(std::move(c));
  const std::string folder = p_.globals.pn.value_or(p_.current_folder.string() + "/");
  const DialogResult r =
      p_.dialogs.save_file(folder + std::string(kCsvFilter), std::string(kCsvTitle));
  if (r.cancelled) return;
  std::filesystem::path file = answered_path(r);
  if (file.extension().empty()) file += ".csv";
  write_text_file(file, analysis::points_csv(curves, units));
}

void ComparisonTools::show_table() {
  const bool si = si_shown();
  const analysis::ShownUnits units = analysis::shown_units(si);
  gfx::Model& m = p_.gfx;
  // An open table is filled again from its list as the user edited it, while the list is in
  // the units shown; after a switch of units the list starts again from the export grid.
  std::optional<std::string> list_text;
  if (gfx::Window* w = analysis::window_named(m, analysis::kTableWindowName)) {
    bool same_units = false;
    for (gfx::Object* o : m.find_all_by_tag(*w, analysis::kVelocitiesCaptionTag))
      if (auto* c = dynamic_cast<gfx::Control*>(o))
        same_units = c->string == analysis::velocities_caption(units);
    for (gfx::Object* o : m.find_all_by_tag(*w, analysis::kVelocitiesTag))
      if (auto* c = dynamic_cast<gfx::Control*>(o); c && same_units) list_text = c->string;
  }
  std::vector<double> velocities =
      list_text ? analysis::parse_velocities(*list_text) : analysis::default_velocities(si);
  const std::vector<analysis::DrawnCurve> stored =
      analysis::stored_curves(p_.globals.plotdata, p_.globals.counter, units.factors);
  const analysis::VelocityTable table = analysis::velocity_table(stored, velocities);
  analysis::show_table_window(
      m, table, units, analysis::velocities_text(velocities),
      {command_text("tablevelocities"), command_text("tablecopy"), command_text("difference")});
}

void ComparisonTools::copy_table() {
  gfx::Model& m = p_.gfx;
  gfx::Window* w = analysis::window_named(m, analysis::kTableWindowName);
  if (!w) throw RuntimeError("The table window is not open.");
  std::string list;
  for (gfx::Object* o : m.find_all_by_tag(*w, analysis::kVelocitiesTag))
    if (auto* c = dynamic_cast<gfx::Control*>(o)) list = c->string;
  const analysis::ShownUnits units = analysis::shown_units(si_shown());
  const std::vector<analysis::DrawnCurve> stored =
      analysis::stored_curves(p_.globals.plotdata, p_.globals.counter, units.factors);
  const analysis::VelocityTable table =
      analysis::velocity_table(stored, analysis::parse_velocities(list));
  p_.clipboard->set_text(analysis::table_tsv(table, units));
}

void ComparisonTools::difference() {
  const Globals& g = p_.globals;
  const int stored = g.counter >= 1 ? static_cast<int>(g.counter) - 1 : 0;
  if (stored < 1) throw RuntimeError("A difference needs a stored curve; none is stored.");
  const std::string b_default = std::to_string(stored >= 2 ? 2 : 1);
  const InputAnswer a = p_.dialogs.input(std::string(kDifferenceTitle),
                                         {{"Curve A", "1", {}}, {"Curve B", b_default, {}}});
  if (!a) return;
  const int ca = whole_number(a->at(0), "curve A");
  const int cb = whole_number(a->at(1), "curve B");
  require_stored_curve(ca, g.counter, "take as curve A");
  require_stored_curve(cb, g.counter, "take as curve B");
  const analysis::ShownUnits units = analysis::shown_units(si_shown());
  const std::vector<analysis::DrawnCurve> curves =
      analysis::stored_curves(g.plotdata, g.counter, units.factors);
  const analysis::CurveDifference d = analysis::curve_difference(curves, ca, cb);
  const analysis::DifferenceNames names{ca, cb, g.plotdata[ca - 1].curveIDcompression1,
                                        g.plotdata[cb - 1].curveIDcompression1};
  analysis::show_difference_window(p_.gfx, d, names, units);
}

void ComparisonTools::undo(bool forward) {
  // The selections as they are now come back with Redo (or Undo) of a step that keeps them.
  std::optional<analysis::PlotState> now = capture(true);
  if (!now) throw RuntimeError("The comparison window is not open.");
  std::optional<analysis::PlotState> to =
      forward ? history_.redo(std::move(*now)) : history_.undo(std::move(*now));
  if (!to) return;  // nothing to take back or bring again
  restore(*to);
}

void ComparisonTools::toggle_curve(const std::string& number) {
  const int n = whole_number(number, "curve number");
  require_stored_curve(n, p_.globals.counter, "show or hide");
  if (!hidden_.erase(n)) hidden_.insert(n);
  apply_hidden();
}

void ComparisonTools::balance() {
  Globals& g = p_.globals;
  gfx::Model& m = p_.gfx;
  const int stored = g.counter >= 1 ? static_cast<int>(g.counter) - 1 : 0;
  if (stored < kBalanceCurves)
    throw RuntimeError(
        "The front/rear balance needs four stored curves (left front, right "
        "front, left rear, right rear); " +
        std::to_string(stored) + (stored == 1 ? " is" : " are") + " stored.");
  // The limits and unit flags as the main window shows them: the dispatcher's prologue with
  // no action.
  m.figure(kMainWindow);
  Processor proc = p_.processor();
  quorin_processor_ct(proc, "");
  const UnitFactors units = g.siunits == 1 ? kSIFactors : kUSFactors;
  std::vector<WheelCurves> wheels;
  for (int i = 0; i < kBalanceCurves; ++i) wheels.push_back(wheel_curves(g.plotdata.at(i), units));
  std::vector<CornerCurves> corners;
  for (const WheelCurves& w : wheels)
    corners.push_back(
        {w.compression_velocity, w.compression_force, w.rebound_velocity, w.rebound_force});
  WindowContext ctx{m, g, p_.current_folder};
  const bool were_open = m.valid(g.plothandle_lht) && m.valid(g.plothandle_rht);
  open_turn_windows(ctx);
  m.figure(kMainWindow);
  draw_balance(proc, corners);
  // Turn windows opened now stand side by side; both come in front of the main window,
  // which stays the current one.
  gfx::Window& left = m.window_of(g.plothandle_lht);
  gfx::Window& right = m.window_of(g.plothandle_rht);
  if (!were_open) windows::place_side_by_side(m, left, right);
  m.raise(left.number);
  m.raise(right.number);
}

}  // namespace quorin
