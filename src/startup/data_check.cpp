#include "startup/data_check.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "annotation/bmp.h"
#include "processor/resample.h"
#include "services/file_io.h"
#include "services/numeric.h"
#include "services/runtime_error.h"
#include "services/varfile.h"
#include "windows/window_data.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;
using windows::WindowData;

constexpr std::size_t kReferenceBleed = 11;
constexpr double kPlotAreaRight = 0.06770833333333333 + 0.6497395833333333;
constexpr double kLogoTop = 0.105 + 0.095;

[[noreturn]] void problem(const std::string& what) { throw RuntimeError(what); }

std::string mat_name(const WindowData& d, int n) {
  return d.file_name() + " mat" + std::to_string(n);
}

void check_colours(const WindowData& d, int n, std::size_t rows = 0) {
  const gfx::Colormap map = d.colours(n);
  if (map.empty() || (rows && map.size() != rows))
    problem(mat_name(d, n) + ": " + std::to_string(map.size()) + " colour rows, expected " +
            (rows ? std::to_string(rows) : std::string("at least 1")));
  for (std::size_t r = 0; r < map.size(); ++r)
    for (double c : {map[r].r, map[r].g, map[r].b})
      if (!(c >= 0 && c <= 1))
        problem(mat_name(d, n) + ": colour row " + std::to_string(r + 1) + " is not within 0..1");
}

void check_picture(const WindowData& d, int n, std::size_t height, std::size_t width) {
  gfx::Image image;
  d.picture(n, image);
  if (image.height != height || image.width != width)
    problem(mat_name(d, n) + ": picture of " + std::to_string(image.height) + " by " +
            std::to_string(image.width) + ", expected " + std::to_string(height) + " by " +
            std::to_string(width));
}

void check_text(const WindowData& d, int n) {
  if (d.text(n).find_first_not_of(' ') == std::string::npos) problem(mat_name(d, n) + ": empty text");
}

void check_command(const WindowData& d, int n, const std::string& action) {
  std::string s = d.text(n);
  s.erase(s.find_last_not_of(' ') + 1);
  if (s != "quorin_processor_ct('" + action + "')")
    problem(mat_name(d, n) + ": command \"" + s + "\" does not run the action " + action);
}

// A popup list whose rows are numbers of clicks; returns them.
std::vector<double> click_list(const WindowData& d, int n, std::size_t at_least) {
  const std::vector<std::string> rows = d.texts(n);
  if (rows.size() < at_least)
    problem(mat_name(d, n) + ": " + std::to_string(rows.size()) + " rows, at least " +
            std::to_string(at_least) + " needed");
  std::vector<double> out;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const auto v = str2double(rows[r]);
    if (!v || *v < 0 || *v != std::floor(*v))
      problem(mat_name(d, n) + ": row " + std::to_string(r + 1) + " \"" + rows[r] +
              "\" is not a whole number of clicks");
    out.push_back(*v);
  }
  return out;
}

std::vector<std::string> name_list(const WindowData& d, int n, bool valves) {
  const std::vector<std::string> rows = d.texts(n);
  if (rows.size() < 3)
    problem(mat_name(d, n) + ": " + std::to_string(rows.size()) + " rows, at least 3 needed");
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!valves) continue;
    if (rows[r].size() < 7 || (rows[r].size() > 7 && rows[r][7] != ' '))
      problem(mat_name(d, n) + ": row " + std::to_string(r + 1) + " \"" + rows[r] +
              "\" is not a 7-character valve name followed by a blank and the shim stack");
  }
  return rows;
}

struct Lists {
  std::vector<double> hsc, lsc, lsr, hsr;
  std::size_t comp_valves = 0, reb_valves = 0, comp_springs = 0, reb_springs = 0;
};

Lists check_main_window_data(const fs::path& folder) {
  const WindowData d(folder, "quorin_interface_v41", 22);
  for (int n = 0; n < 22; ++n) d.mat(n);  // every variable present
  check_colours(d, 0);
  for (int n : {1, 7, 9, 13}) check_text(d, n);
  Lists l;
  l.hsc = click_list(d, 2, 31);
  l.lsc = click_list(d, 3, 21);
  l.lsr = click_list(d, 4, 21);
  l.hsr = click_list(d, 5, 31);
  check_command(d, 6, "import");
  check_command(d, 8, "export");
  check_command(d, 10, "save");
  check_command(d, 11, "load");
  check_command(d, 12, "roehrig");
  l.comp_valves = name_list(d, 14, true).size();
  l.reb_valves = name_list(d, 15, true).size();
  l.comp_springs = name_list(d, 16, false).size();
  l.reb_springs = name_list(d, 17, false).size();
  check_colours(d, 18);
  check_picture(d, 19, 51, 115);
  d.point(20);
  check_colours(d, 21);
  return l;
}

void check_other_window_data(const fs::path& folder) {
  const WindowData p(folder, "plotfigure", 7);
  check_colours(p, 0);
  for (int n : {1, 2, 5}) check_colours(p, n);
  const gfx::Rect id = p.rect(3);
  if (id.left < kPlotAreaRight || id.left + id.width > 1 || id.bottom < kLogoTop ||
      id.bottom + id.height > 1 || id.width <= 0 || id.height <= 0)
    problem(mat_name(p, 3) + ": the ID axes do not lie in the free column right of the plot area "
                             "and above the logo");
  p.point(4);
  check_picture(p, 6, 78, 167);

  for (const char* name : {"lht", "rht"}) {
    const bool right = std::string(name) == "rht";
    const WindowData t(folder, name, right ? 7 : 6);
    for (int n = 0; n <= 4; ++n) check_colours(t, n);
    check_picture(t, 5, 78, 167);
    if (right) t.point(6);
  }

  const WindowData w(folder, "warningCT", 2);
  check_colours(w, 0);
  if (!(w.number(1) > 0)) problem(mat_name(w, 1) + ": the OK button's font size is not positive");
}

void check_bitmaps(const fs::path& folder) {
  const std::pair<const char*, std::pair<std::size_t, std::size_t>> logos[] = {
      {"logo_small.bmp", {51, 115}}, {"logo_plot.bmp", {78, 167}}};
  for (const auto& [name, size] : logos) {
    const auto bytes = read_file_bytes(folder / name);
    const annotation::Picture pic = annotation::decode_bmp(bytes);
    if (pic.height != size.first || pic.width != size.second)
      problem(std::string(name) + ": " + std::to_string(pic.width) + " by " +
              std::to_string(pic.height) + " pixels, expected " + std::to_string(size.second) +
              " by " + std::to_string(size.first));
  }
  std::error_code ec;
  if (!fs::is_regular_file(folder / "data" / "export.txt", ec))
    problem("data/export.txt: the export file is missing");
}

// Velocities ascending, forces positive and strictly increasing, equal lengths.
void check_curve(const std::string& name_vel, const std::string& name_force,
                 const std::vector<double>& v, const std::vector<double>& f) {
  if (v.size() != f.size())
    problem(name_vel + " and " + name_force + " differ in length (" + std::to_string(v.size()) +
            " and " + std::to_string(f.size()) + " points)");
  if (v.size() < 2) problem(name_force + ": fewer than 2 points");
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (!std::isfinite(v[i]) || (i && !(v[i] > v[i - 1])))
      problem(name_vel + ": velocities not ascending at point " + std::to_string(i + 1));
    if (!std::isfinite(f[i]) || !(f[i] > 0))
      problem(name_force + ": force not positive at point " + std::to_string(i + 1));
    if (i && !(f[i] > f[i - 1]))
      problem(name_force + ": forces not increasing at point " + std::to_string(i + 1));
  }
}

struct BleedTables {
  std::vector<MeasuredCurve> settings;
  double largest_force = 0;
};

BleedTables check_bleed_tables(const fs::path& folder, std::size_t needed) {
  const fs::path file = varfile_path(folder / "quorin_bleed_2004_v1");
  const NamedValues vars = load_variables(file, {"bleedvel", "bleedforce"});
  std::map<std::string, Value> byname(vars.begin(), vars.end());
  for (const char* name : {"bleedvel", "bleedforce"}) {
    auto it = byname.find(name);
    if (it == byname.end()) problem(file.filename().string() + ": no variable " + name);
    if (!it->second.is_record() || !it->second.has_field("data"))
      problem(std::string(name) + ": not a record array with the field data");
    if (it->second.numel() < needed)
      problem(std::string(name) + ": " + std::to_string(it->second.numel()) +
              " bleed settings, the low-speed lists need " + std::to_string(needed));
  }
  BleedTables t;
  const Value& vel = byname["bleedvel"];
  const Value& force = byname["bleedforce"];
  for (std::size_t k = 1; k <= std::min(vel.numel(), force.numel()); ++k) {
    const std::string at = "(" + std::to_string(k) + ").data";
    const Value& v = vel.field_of(k, "data");
    const Value& f = force.field_of(k, "data");
    if (!v.is_numeric() || !f.is_numeric()) problem("bleedvel" + at + ": not a row of numbers");
    check_curve("bleedvel" + at, "bleedforce" + at, v.numbers(), f.numbers());
    t.settings.push_back({v.numbers(), f.numbers()});
  }
  t.largest_force = t.settings.front().force.back();
  for (const auto& s : t.settings) t.largest_force = std::min(t.largest_force, s.force.back());
  return t;
}

struct SideSpec {
  const char* vel_name;
  const char* force_name;
  const char* high_list;
  const std::vector<double>* high_clicks;
  double threshold;
  std::size_t valves, springs;
};

std::string entry_name(const char* table, std::size_t v, std::size_t s, std::size_t h) {
  return std::string(table) + "{" + std::to_string(v) + "," + std::to_string(s) + "}(" +
         std::to_string(h) + ")";
}

void check_side(const SideSpec& side, const ValvingTable& vel, const ValvingTable& force,
                const BleedTables& bleeds) {
  for (const ValvingTable* t : {&vel, &force}) {
    const char* name = t == &vel ? side.vel_name : side.force_name;
    if (t->valves < side.valves || t->springs < side.springs)
      problem(std::string(name) + ": a table of " + std::to_string(t->valves) + " valves by " +
              std::to_string(t->springs) + " springs cannot serve " + std::to_string(side.valves) +
              " valve rows and " + std::to_string(side.springs) + " spring rows");
  }
  const MeasuredCurve& reference = bleeds.settings.at(kReferenceBleed - 1);
  for (std::size_t s = 1; s <= side.springs; ++s) {
    for (std::size_t v = 1; v <= side.valves; ++v) {
      std::set<std::size_t> checked;
      for (std::size_t r = 1; r <= side.high_clicks->size(); ++r) {
        const double n = (*side.high_clicks)[r - 1];
        const double hd = high_speed_index(s, n, r, side.threshold);
        const std::string why = " (valve row " + std::to_string(v) + ", spring row " +
                                std::to_string(s) + ", " + side.high_list + " row " +
                                std::to_string(r) + ")";
        if (hd < 1)
          problem(std::string(side.vel_name) + "{" + std::to_string(v) + "," + std::to_string(s) +
                  "}: the high-speed index would be " + num2str(hd) + why);
        const auto h = static_cast<std::size_t>(hd);
        if (!checked.insert(h).second) continue;
        const auto* rv = vel.entry(v, s, h);
        const auto* rf = force.entry(v, s, h);
        if (!rv) problem(entry_name(side.vel_name, v, s, h) + " is missing" + why);
        if (!rf) problem(entry_name(side.force_name, v, s, h) + " is missing" + why);
        const std::string nv = entry_name(side.vel_name, v, s, h) + ".data";
        const std::string nf = entry_name(side.force_name, v, s, h) + ".data";
        check_curve(nv, nf, *rv, *rf);
        if (rf->back() < 99)
          problem(nf + ": largest force " + num2str(rf->back()) +
                  " N is below 99 N; the force grid needs 100 points");
        if (rf->back() > bleeds.largest_force)
          problem(nf + ": largest force " + num2str(rf->back()) +
                  " N is beyond the bleed curves, which reach only " +
                  num2str(bleeds.largest_force) + " N");
        const ShimFlowMinimum m = shim_flow_minimum({*rv, *rf}, reference);
        if (m.position == m.points)
          problem(nf + ": the shim flow (measured minus reference bleed) is smallest at the last "
                       "grid point, so the correction has no point after it");
      }
    }
  }
}

}  // namespace

double high_speed_index(std::size_t spring_row, double n, std::size_t row, double threshold) {
  const double r = static_cast<double>(row);
  switch (spring_row) {
    case 1: return n + 1;
    case 2:
    case 3: return r < threshold ? n + 1 : n;
    case 4: return r < 6 ? 1 : n - 2;
    default: return n;
  }
}

ShimFlowMinimum shim_flow_minimum(const MeasuredCurve& valve, const MeasuredCurve& reference_bleed) {
  const std::vector<double> grid = range(0, 1, std::floor(valve.force.back()));
  const std::vector<double> measured = curve(valve.velocity, valve.force, grid).xspline;
  const std::vector<double> ref = bleed(reference_bleed.velocity, reference_bleed.force, grid).xspline;
  std::vector<double> tail;
  for (std::size_t i = 99; i < grid.size(); ++i) tail.push_back(measured[i] - ref[i]);
  return {min_with_position(tail).position + 99, grid.size()};
}

void check_supplied_data(const fs::path& folder) {
  const Lists lists = check_main_window_data(folder);
  check_other_window_data(folder);
  check_bitmaps(folder);

  double most_clicks = 0;
  for (const auto* l : {&lists.lsc, &lists.lsr})
    for (double c : *l) most_clicks = std::max(most_clicks, c);
  const auto needed = std::max<std::size_t>(kReferenceBleed, static_cast<std::size_t>(most_clicks) + 1);
  const BleedTables bleeds = check_bleed_tables(folder, needed);

  const fs::path file = varfile_path(folder / "quorin_matrix_2007_v1");
  const NamedValues vars = load_variables(file, {"compvel", "compforce", "rebvel", "rebforce"});
  std::map<std::string, ValvingTable> tables;
  for (const auto& [name, value] : vars) tables.emplace(name, valving_table_from_value(value, name));
  for (const char* name : {"compvel", "compforce", "rebvel", "rebforce"})
    if (!tables.count(name)) problem(file.filename().string() + ": no variable " + name);

  check_side({"compvel", "compforce", "HSC", &lists.hsc, 2, lists.comp_valves, lists.comp_springs},
             tables["compvel"], tables["compforce"], bleeds);
  check_side({"rebvel", "rebforce", "HSR", &lists.hsr, 3, lists.reb_valves, lists.reb_springs},
             tables["rebvel"], tables["rebforce"], bleeds);
}

}  // namespace quorin
