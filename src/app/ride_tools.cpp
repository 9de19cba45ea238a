#include "app/ride_tools.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "analysis/ride_windows.h"
#include "analysis/tool_windows.h"
#include "app/comparison_tools.h"
#include "app/menu_parts.h"
#include "processor/processor.h"
#include "services/file_io.h"
#include "services/numeric.h"
#include "services/runtime_error.h"
#include "startup/program.h"

namespace quorin {
namespace {

constexpr int kMainWindow = 1;
constexpr std::string_view kRideTitle = "Ride and Grip";
constexpr std::string_view kRoadTitle = "Ride and Grip: Road";
constexpr std::string_view kKerbTitle = "Ride and Grip: Kerb";
constexpr std::string_view kShakerTitle = "Ride and Grip: Shaker";
constexpr std::string_view kGripTitle = "Grip Map";
// The progress window's title: not the map window's, so closing one is never taken for the
// other.
constexpr std::string_view kGripProgressTitle = "Mapping grip and comfort";
constexpr std::string_view kRoadFileTitle = "Open Road File";
constexpr std::string_view kSaveRoadTitle = "Save Road As";
constexpr std::string_view kRoadPattern = "*.txt";
constexpr ReadLimit kRoadFileLimit{"road file", std::uintmax_t{64} << 20};
constexpr ReadLimit kSetupListLimit{"set-up list", std::uintmax_t{1} << 20};
constexpr std::size_t kMostSetups = 10000;

// The cases as the dialog's popup names them.
constexpr std::array<std::string_view, 4> kCaseChoices = {"Class road", "Road file", "Kerb",
                                                          "Shaker"};
const std::vector<std::string> kClassChoices = {"A", "B", "C", "D", "E"};



double number(const std::string& text, std::string_view what) {
  const std::optional<double> v = str2double(text);
  if (!v || !std::isfinite(*v))
    throw RuntimeError("The " + std::string(what) + " \"" + text + "\" is not a number.");
  return *v;
}

std::uint64_t seed_number(const std::string& text) {
  const double v = number(text, "seed");
  if (v < 0 || v != std::floor(v) || v > 9007199254740992.0)
    throw RuntimeError("The seed \"" + text + "\" is not a whole number from 0 up.");
  return static_cast<std::uint64_t>(v);
}

std::size_t whole(const std::string& text, std::string_view what) {
  const double v = number(text, what);
  if (v < 0 || v != std::floor(v) || v > 1e6)
    throw RuntimeError("The " + std::string(what) + " \"" + text + "\" is not a whole number.");
  return static_cast<std::size_t>(v);
}

// The popup row whose click text is `text` (compared as numbers).
std::size_t row_of_click(const std::vector<std::string>& rows, const std::string& text,
                         std::string_view adjuster) {
  const std::optional<double> wanted = str2double(text);
  for (std::size_t r = 0; wanted && r < rows.size(); ++r)
    if (str2double(rows[r]) == wanted) return r + 1;
  throw RuntimeError(std::string(adjuster) + " has no click \"" + text + "\"" +
                     (rows.empty()
                          ? std::string(".")
                          : "; its clicks are " + rows.front() + " to " + rows.back() + "."));
}

// KEY=VALUE words.
std::map<std::string, std::string, std::less<>> key_values(std::string_view words) {
  std::map<std::string, std::string, std::less<>> out;
  std::size_t at = 0;
  while (at < words.size()) {
    const std::size_t start = words.find_first_not_of(" \t", at);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(words.find_first_of(" \t", start), words.size());
    const std::string_view word = words.substr(start, end - start);
    const std::size_t eq = word.find('=');
    if (eq == std::string_view::npos || eq == 0)
      throw RuntimeError("ride: \"" + std::string(word) + "\" is not KEY=VALUE.");
    out[std::string(word.substr(0, eq))] = std::string(word.substr(eq + 1));
    at = end;
  }
  return out;
}

}  // namespace

std::string RideTools::kept(std::string_view key, std::string_view fallback) const {
  return p_.settings->value(std::string(kRideSettingsPrefix) + std::string(key))
      .value_or(std::string(fallback));
}

void RideTools::keep(std::string_view key, const std::string& text) {
  p_.settings->set_value(std::string(kRideSettingsPrefix) + std::string(key), text);
}

analysis::ClickRows RideTools::click_rows() {
  gfx::Model& m = p_.gfx;
  return {main_window_control(m, "LSC").items, main_window_control(m, "HSC").items,
          main_window_control(m, "LSR").items, main_window_control(m, "HSR").items};
}

namespace {

// The corner's four boxes with the kept values.
std::vector<InputField> corner_fields(
    const std::function<std::string(std::string_view, std::string_view)>& kept) {
  return {{"Sprung mass (kg)", kept("sprung_mass_kg", "250"), {}},
          {"Unsprung mass (kg)", kept("unsprung_mass_kg", "40"), {}},
          {"Wheel rate (N/mm)", kept("wheel_rate_n_per_mm", "30"), {}},
          {"Tyre rate (N/mm)", kept("tyre_rate_n_per_mm", "250"), {}}};
}

analysis::QuarterCar corner_of(const std::vector<std::string>& a) {
  analysis::QuarterCar car{
      number(a.at(0), "sprung mass (kg)"), number(a.at(1), "unsprung mass (kg)"),
      number(a.at(2), "wheel rate (N/mm)"), number(a.at(3), "tyre rate (N/mm)")};
  analysis::check_quarter_car(car);
  return car;
}

}  // namespace

void RideTools::ride() {
  const Globals& g = p_.globals;
  const int stored = g.counter >= 1 ? static_cast<int>(g.counter) - 1 : 0;
  if (stored < 1) throw RuntimeError("Ride and grip needs a stored curve; none is stored.");
  auto kept_fn = [this](std::string_view k, std::string_view f) { return kept(k, f); };
  std::vector<InputField> fields = corner_fields(kept_fn);
  fields.push_back(
      {"Case", kept("case", "Class road"), {kCaseChoices.begin(), kCaseChoices.end()}});
  const InputAnswer a = p_.dialogs.input(std::string(kRideTitle), fields);
  if (!a) return;
  analysis::RideCase c;
  c.car = corner_of(*a);
  const std::string case_choice = a->at(4);
  std::optional<analysis::RoadProfile> road;
  std::map<std::string, std::string> to_keep;
  if (case_choice == "Class road") {
    c.kind = analysis::RideCaseKind::Road;
    const InputAnswer r = p_.dialogs.input(std::string(kRoadTitle),
                                           {{"Road class", kept("road_class", "C"), kClassChoices},
                                            {"Speed (km/h)", kept("speed_kmh", "100"), {}},
                                            {"Duration (s)", kept("duration_s", "60"), {}},
                                            {"Seed", kept("seed", "1"), {}}});
    if (!r) return;
    c.road.road_class = r->at(0);
    c.speed_kmh = number(r->at(1), "speed (km/h)");
    c.road.duration_s = number(r->at(2), "duration (s)");
    c.road.seed = seed_number(r->at(3));
    road = analysis::class_road(c);
    to_keep = {{"road_class", r->at(0)},
               {"speed_kmh", r->at(1)},
               {"duration_s", r->at(2)},
               {"seed", r->at(3)}};
  } else if (case_choice == "Road file") {
    c.kind = analysis::RideCaseKind::Road;
    const std::string folder = kept("road_folder", p_.current_folder.string() + "/");
    const DialogResult f =
        p_.dialogs.open_file(folder + std::string(kRoadPattern), std::string(kRoadFileTitle));
    if (f.cancelled) return;
    const std::filesystem::path path = std::filesystem::path(f.folder) / f.file;
    road = analysis::parse_road_profile(read_file_text(path, kRoadFileLimit));
    const InputAnswer r =
        p_.dialogs.input(std::string(kRoadTitle), {{"Speed (km/h)", kept("speed_kmh", "100"), {}}});
    if (!r) return;
    c.speed_kmh = number(r->at(0), "speed (km/h)");
    c.road.file = path.string();
    to_keep = {{"speed_kmh", r->at(0)}, {"road_folder", f.folder}};
  } else if (case_choice == "Kerb") {
    c.kind = analysis::RideCaseKind::Kerb;
    const InputAnswer r = p_.dialogs.input(std::string(kKerbTitle),
                                           {{"Height (mm)", kept("kerb_height_mm", "50"), {}},
                                            {"Ramp length (mm)", kept("kerb_length_mm", "200"), {}},
                                            {"Plateau (mm)", kept("kerb_plateau_mm", "500"), {}},
                                            {"Speed (km/h)", kept("kerb_speed_kmh", "60"), {}}});
    if (!r) return;
    c.kerb = {number(r->at(0), "height (mm)"), number(r->at(1), "ramp length (mm)"),
              number(r->at(2), "plateau (mm)"), number(r->at(3), "speed (km/h)")};
    analysis::check_kerb(c.kerb);
    to_keep = {{"kerb_height_mm", r->at(0)},
               {"kerb_length_mm", r->at(1)},
               {"kerb_plateau_mm", r->at(2)},
               {"kerb_speed_kmh", r->at(3)}};
  } else if (case_choice == "Shaker") {
    c.kind = analysis::RideCaseKind::Shaker;
    const InputAnswer r = p_.dialogs.input(
        std::string(kShakerTitle), {{"Amplitude (mm)", kept("shaker_amplitude_mm", "5"), {}},
                                    {"From (Hz)", kept("shaker_from_hz", "0.5"), {}},
                                    {"To (Hz)", kept("shaker_to_hz", "25"), {}},
                                    {"Frequencies", kept("shaker_frequencies", "40"), {}}});
    if (!r) return;
    c.shaker = {number(r->at(0), "amplitude (mm)"), number(r->at(1), "first frequency (Hz)"),
                number(r->at(2), "last frequency (Hz)"), whole(r->at(3), "number of frequencies")};
    analysis::check_shaker(c.shaker);
    to_keep = {{"shaker_amplitude_mm", r->at(0)},
               {"shaker_from_hz", r->at(1)},
               {"shaker_to_hz", r->at(2)},
               {"shaker_frequencies", r->at(3)}};
  } else {
    throw RuntimeError("There is no ride case \"" + case_choice +
                       "\"; choose Class road, Road file, Kerb or Shaker.");
  }

  std::vector<std::pair<int, std::string>> names;
  std::vector<analysis::DamperLaw> dampers;
  for (int n = 1; n <= stored; ++n) {
    const DamperCurve& d = g.plotdata.at(static_cast<std::size_t>(n - 1));
    names.emplace_back(n, d.curveIDcompression1);
    dampers.push_back(analysis::DamperLaw::of_curve(d));
  }
  analysis::RideStudy study =
      analysis::run_ride_study(c, road.value_or(analysis::RoadProfile{}), names, dampers);
  // What was asked is kept only once it ran.
  keep("sprung_mass_kg", a->at(0));
  keep("unsprung_mass_kg", a->at(1));
  keep("wheel_rate_n_per_mm", a->at(2));
  keep("tyre_rate_n_per_mm", a->at(3));
  keep("case", case_choice);
  for (const auto& [k, v] : to_keep) keep(k, v);

  const bool class_road = case_choice == "Class road";
  analysis::show_ride_window(
      p_.gfx, study,
      {command_text("ridecopy"), class_road ? command_text("ridesaveroad") : std::string()});
  study_ = std::move(study);
  if (class_road)
    road_ = std::move(road);
  else
    road_.reset();
}

void RideTools::copy() {
  if (!study_ || !analysis::window_named(p_.gfx, analysis::kRideWindowName))
    throw RuntimeError("The ride and grip window is not open.");
  p_.clipboard->set_text(analysis::ride_tsv(*study_));
}

void RideTools::save_road() {
  if (!study_ || !road_ || !analysis::window_named(p_.gfx, analysis::kRideWindowName))
    throw RuntimeError("No class road is shown in the ride and grip window.");
  const std::string folder = kept("road_folder", p_.current_folder.string() + "/");
  const DialogResult r =
      p_.dialogs.save_file(folder + std::string(kRoadPattern), std::string(kSaveRoadTitle));
  if (r.cancelled) return;
  std::filesystem::path file = std::filesystem::path(r.folder) / r.file;
  if (file.extension().empty()) file += ".txt";
  write_whole(file, analysis::road_profile_text(*road_));
  keep("road_folder", r.folder);
}

void RideTools::grip() {
  gfx::Model& m = p_.gfx;
  auto kept_fn = [this](std::string_view k, std::string_view f) { return kept(k, f); };
  std::vector<InputField> fields = corner_fields(kept_fn);
  fields.push_back({"Sweep",
                    kept("grip_sweep", "Compression: LSC x HSC"),
                    {analysis::kGripSweepNames.begin(), analysis::kGripSweepNames.end()}});
  fields.push_back({"Road class", kept("road_class", "C"), kClassChoices});
  fields.push_back({"Speed (km/h)", kept("speed_kmh", "100"), {}});
  fields.push_back({"Duration (s)", kept("duration_s", "60"), {}});
  fields.push_back({"Seed", kept("seed", "1"), {}});
  const InputAnswer a = p_.dialogs.input(std::string(kGripTitle), fields);
  if (!a) return;
  analysis::RideCase c;
  c.car = corner_of(*a);
  const analysis::GripSweep sweep = analysis::grip_sweep_named(a->at(4));
  c.road.road_class = a->at(5);
  c.speed_kmh = number(a->at(6), "speed (km/h)");
  c.road.duration_s = number(a->at(7), "duration (s)");
  c.road.seed = seed_number(a->at(8));
  const analysis::RoadProfile road = analysis::class_road(c);

  const analysis::ClickRows rows = click_rows();
  m.figure(kMainWindow);
  const SetupSelection setup = read_setup(m);
  const BleedData& bleeds = p_.bleed_cache.get(p_.current_folder);
  const unsigned threads = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
  analysis::GripMap map;
  {
    ProgressShown progress(*p_.progress, std::string(kGripProgressTitle));
    map = analysis::grip_map(
        setup, sweep, rows, p_.globals, bleeds, c.car, road, c.speed_kmh, threads,
        [&](std::size_t done, std::size_t total) { return progress.advance(done, total); });
  }
  // The stored curves on the same road, as squares.
  std::vector<analysis::GripMark> marks;
  const Globals& g = p_.globals;
  const int stored = g.counter >= 1 ? static_cast<int>(g.counter) - 1 : 0;
  for (int n = 1; n <= stored; ++n) {
    const analysis::RoadResult r = analysis::ride_on_road(
        c.car, analysis::DamperLaw::of_curve(g.plotdata.at(static_cast<std::size_t>(n - 1))), road,
        c.speed_kmh);
    marks.push_back({n, r.tyre_load_rms_n, r.body_accel_rms});
  }
  for (std::size_t k = 0; k < 4; ++k)
    keep(std::array{"sprung_mass_kg", "unsprung_mass_kg", "wheel_rate_n_per_mm",
                    "tyre_rate_n_per_mm"}[k],
         a->at(k));
  keep("grip_sweep", a->at(4));
  keep("road_class", a->at(5));
  keep("speed_kmh", a->at(6));
  keep("duration_s", a->at(7));
  keep("seed", a->at(8));
  const std::string caption = "Class " + c.road.road_class + " road, " +
                              num2str(c.road.duration_s) + " s at " + num2str(c.speed_kmh) +
                              " km/h, seed " + std::to_string(c.road.seed) + ".  " +
                              "Corner: " + a->at(0) + " kg on " + a->at(2) + " N/mm, wheel " +
                              a->at(1) + " kg on " + a->at(3) + " N/mm.";
  analysis::show_grip_window(m, map, marks, caption, [](std::size_t i) {
    return command_text("gripclick", std::to_string(i));
  });
  map_ = std::move(map);
}

void RideTools::grip_click(const std::string& index) {
  if (!map_ || !analysis::window_named(p_.gfx, analysis::kGripWindowName))
    throw RuntimeError("The grip map is not open.");
  const std::size_t i = whole(index, "grip map point");
  if (i >= map_->points.size()) throw RuntimeError("The grip map has no point " + index + ".");
  const analysis::GripPoint& point = map_->points[i];
  const bool comp = map_->sweep.compression;
  gfx::Model& m = p_.gfx;
  auto set_row = [&](std::string_view tag, std::size_t row) {
    gfx::Control& popup = main_window_control(m, tag);
    if (row < 1 || row > popup.items.size())
      throw RuntimeError("The popup " + std::string(tag) + " has changed since the grip map.");
    popup.value = static_cast<double>(row);
  };
  if (map_->sweep.low) set_row(comp ? "LSC" : "LSR", point.low_row);
  if (map_->sweep.high) set_row(comp ? "HSC" : "HSR", point.high_row);
  m.touch();
}

std::size_t RideTools::batch(std::string_view words) {
  auto kv = key_values(words);
  auto take = [&](std::string_view key, std::string_view fallback) {
    auto it = kv.find(key);
    if (it == kv.end()) return std::string(fallback);
    std::string v = it->second;
    kv.erase(it);
    return v;
  };
  const std::string out = take("out", "");
  if (out.empty()) throw RuntimeError("ride: name the CSV file to write with out=FILE.csv.");
  analysis::RideCase c;
  c.car = corner_of({take("ms", "250"), take("mu", "40"), take("ks", "30"), take("kt", "250")});
  c.kind = analysis::ride_case_named(take("case", "road"));
  c.speed_kmh = number(take("speed", "100"), "speed (km/h)");
  c.road.road_class = take("class", "C");
  c.road.duration_s = number(take("duration", "60"), "duration (s)");
  c.road.seed = seed_number(take("seed", "1"));
  c.road.file = take("road", "");
  c.kerb = {number(take("height", "50"), "height (mm)"),
            number(take("length", "200"), "ramp length (mm)"),
            number(take("plateau", "500"), "plateau (mm)"),
            number(take("kerbspeed", "60"), "kerb speed (km/h)")};
  c.shaker = {number(take("amplitude", "5"), "amplitude (mm)"),
              number(take("from", "0.5"), "first frequency (Hz)"),
              number(take("to", "25"), "last frequency (Hz)"),
              whole(take("frequencies", "40"), "number of frequencies")};
  const std::string setups = take("setups", "");
  const std::string save_road = take("saveroad", "");
  if (!kv.empty()) throw RuntimeError("ride: there is no key \"" + kv.begin()->first + "\".");

  analysis::RoadProfile road;
  if (c.kind == analysis::RideCaseKind::Road) {
    road = c.road.file.empty()
               ? analysis::class_road(c)
               : analysis::parse_road_profile(read_file_text(c.road.file, kRoadFileLimit));
    if (!save_road.empty()) write_whole(save_road, analysis::road_profile_text(road));
  }

  std::vector<std::pair<int, std::string>> names;
  std::vector<analysis::DamperLaw> dampers;
  if (setups.empty()) {
    const Globals& g = p_.globals;
    const int stored = g.counter >= 1 ? static_cast<int>(g.counter) - 1 : 0;
    if (stored < 1)
      throw RuntimeError("ride: no curve is stored; store some or name a list with setups=FILE.");
    for (int n = 1; n <= stored; ++n) {
      const DamperCurve& d = g.plotdata.at(static_cast<std::size_t>(n - 1));
      names.emplace_back(n, d.curveIDcompression1);
      dampers.push_back(analysis::DamperLaw::of_curve(d));
    }
  } else {
    const std::vector<analysis::ClickSet> sets =
        analysis::parse_click_sets(read_file_text(setups, kSetupListLimit));
    if (sets.size() > kMostSetups)
      throw RuntimeError("ride: the set-up list holds more than 10000 set-ups.");
    const analysis::ClickRows rows = click_rows();
    p_.gfx.figure(kMainWindow);
    const SetupSelection base = read_setup(p_.gfx);
    const BleedData& bleeds = p_.bleed_cache.get(p_.current_folder);
    int line = 0;
    for (const analysis::ClickSet& set : sets) {
      ++line;
      SetupSelection s = base;
      std::string name;
      auto apply = [&](const std::optional<std::string>& click, analysis::Adjuster a,
                       const std::vector<std::string>& list) {
        const std::string tag(analysis::adjuster_name(a));
        if (click) s = analysis::with_click(s, a, row_of_click(list, *click, tag), list);
      };
      apply(set.lsc, analysis::Adjuster::LSC, rows.lsc);
      apply(set.hsc, analysis::Adjuster::HSC, rows.hsc);
      apply(set.lsr, analysis::Adjuster::LSR, rows.lsr);
      apply(set.hsr, analysis::Adjuster::HSR, rows.hsr);
      name = "LSC " + s.compression.bleed_text + " HSC " + s.compression.high_text + " LSR " +
             s.rebound.bleed_text + " HSR " + s.rebound.high_text;
      names.emplace_back(line, name);
      dampers.push_back(
          analysis::DamperLaw::of_curve(synthesise_setup(s, p_.globals, bleeds, kSIFactors, 1)));
    }
  }
  const analysis::RideStudy study = analysis::run_ride_study(c, road, names, dampers);
  write_whole(out, analysis::ride_csv(study));
  return study.rows.size();
}

}  // namespace quorin
