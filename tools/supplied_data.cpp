#include "supplied_data.h"

#include <cmath>
#include <fstream>

#include "logo.h"
#include "services/runtime_error.h"

namespace quorin::datagen {
namespace {

// Seat 7731-02: 22 mm face shim on a 12 mm clamp, large ports. Seat 7731-01: 20 mm face on an
// 11 mm clamp, smaller ports.
Valve seat02(const char* name, double dish, std::vector<Shim> stack) {
  return Valve{name, 26.0, 170.0, 21.0, 12.0, dish, std::move(stack)};
}
Valve seat01(const char* name, double dish, std::vector<Shim> stack) {
  return Valve{name, 18.0, 140.0, 19.0, 11.0, dish, std::move(stack)};
}

Side make_compression() {
  Side s;
  s.name = "compression";
  s.valves = {
      seat02("CV-2210", 0.05, {{2, 22, .15}, {1, 20, .15}, {1, 18, .10}, {1, 16, .15}}),
      seat02("CV-2215", 0.05, {{2, 22, .15}, {1, 20, .15}, {1, 18, .15}, {1, 16, .15}}),
      seat02("CV-2220", 0.06, {{3, 22, .15}, {1, 20, .15}, {1, 18, .15}, {1, 16, .20}}),
      seat02("CV-2225", 0.07, {{2, 22, .20}, {1, 20, .15}, {1, 18, .15}, {1, 16, .20}}),
      seat02("CV-2230", 0.08, {{2, 22, .20}, {1, 20, .20}, {1, 18, .20}, {1, 16, .20}}),
      seat02("CV-2240", 0.08, {{3, 22, .20}, {1, 20, .20}, {1, 18, .25}, {1, 16, .25}}),
      seat02("CV-2250", 0.08, {{2, 22, .25}, {1, 20, .25}, {1, 18, .25}, {1, 16, .30}}),
      seat01("CV-1210", 0.05, {{2, 20, .15}, {1, 18, .15}, {1, 16, .15}}),
      seat01("CV-1215", 0.05, {{3, 20, .15}, {1, 18, .15}, {1, 16, .15}}),
      seat01("CV-1220", 0.06, {{2, 20, .20}, {1, 18, .15}, {1, 16, .20}}),
      seat01("CV-1230", 0.07, {{2, 20, .20}, {1, 18, .20}, {1, 16, .20}, {1, 14, .25}}),
      seat01("CV-1240", 0.08, {{3, 20, .20}, {1, 18, .25}, {1, 16, .25}, {1, 14, .25}}),
      seat01("CV-1250", 0.08, {{2, 20, .25}, {1, 18, .25}, {1, 16, .30}, {1, 14, .30}}),
  };
  s.springs = {{"Silver 30 N/mm", 30}, {"Gold 45 N/mm", 45}, {"Blue 62 N/mm", 62},
               {"Black 85 N/mm", 85}};
  return s;
}

Side make_rebound() {
  Side s;
  s.name = "rebound";
  s.valves = {
      seat02("RV-2215", 0.06, {{3, 22, .15}, {1, 20, .15}, {1, 18, .20}, {1, 16, .20}}),
      seat02("RV-2220", 0.06, {{2, 22, .20}, {1, 20, .20}, {1, 18, .20}, {1, 16, .25}}),
      seat02("RV-2225", 0.07, {{3, 22, .20}, {1, 20, .20}, {1, 18, .25}, {1, 16, .25}}),
      seat02("RV-2230", 0.07, {{2, 22, .25}, {1, 20, .25}, {1, 18, .25}, {1, 16, .30}}),
      seat02("RV-2235", 0.08, {{3, 22, .25}, {1, 20, .25}, {1, 18, .30}, {1, 16, .30}}),
      seat02("RV-2240", 0.08, {{2, 22, .30}, {1, 20, .30}, {1, 18, .30}, {1, 16, .30}}),
      seat02("RV-2250", 0.08, {{3, 22, .30}, {1, 20, .30}, {1, 18, .30}, {1, 16, .35}}),
      seat01("RV-1215", 0.06, {{3, 20, .15}, {1, 18, .20}, {1, 16, .20}}),
      seat01("RV-1220", 0.06, {{2, 20, .20}, {1, 18, .20}, {1, 16, .25}}),
      seat01("RV-1225", 0.07, {{3, 20, .20}, {1, 18, .25}, {1, 16, .25}}),
      seat01("RV-1230", 0.07, {{2, 20, .25}, {1, 18, .25}, {1, 16, .30}, {1, 14, .30}}),
      seat01("RV-1240", 0.08, {{3, 20, .25}, {1, 18, .30}, {1, 16, .30}, {1, 14, .30}}),
      seat01("RV-1250", 0.08, {{2, 20, .30}, {1, 18, .30}, {1, 16, .35}, {1, 14, .35}}),
  };
  s.springs = {{"Gold 45 N/mm", 45}, {"Blue 62 N/mm", 62}, {"Black 85 N/mm", 85},
               {"Red 115 N/mm", 115}};
  return s;
}

std::uint64_t entry_seed(const Side& side, std::size_t v, std::size_t s, std::size_t h) {
  const std::uint64_t side_bit = side.name == "rebound" ? 1 : 0;
  return 0x4D49565241000000ull ^ (side_bit << 40) ^ (v << 24) ^ (s << 16) ^ h;
}

std::vector<Value> numbered_texts(int first, int last) {
  std::vector<Value> out;
  for (int i = first; i <= last; ++i) out.push_back(Value::text(std::to_string(i)));
  return out;
}

Value list_value(std::vector<Value> items) {
  const std::size_t n = items.size();
  return Value::cell({1, n}, std::move(items));
}

Value option_list(const Side& side) {
  std::vector<Value> items;
  for (const Valve& v : side.valves) items.push_back(Value::text(v.option_text()));
  return list_value(std::move(items));
}

Value spring_list(const Side& side) {
  std::vector<Value> items;
  for (const HighSpeedSpring& s : side.springs) items.push_back(Value::text(s.label));
  return list_value(std::move(items));
}

// Line colours of the axes: blue, green, red, teal, purple, olive, dark grey.
Value colour_order() {
  const double rows[7][3] = {{0, 0, 1},       {0, 0.5, 0},       {1, 0, 0},       {0, 0.75, 0.75},
                             {0.75, 0, 0.75}, {0.75, 0.75, 0},   {0.25, 0.25, 0.25}};
  std::vector<double> data(21);
  for (int r = 0; r < 7; ++r)
    for (int c = 0; c < 3; ++c) data[c * 7 + r] = rows[r][c];
  return Value::numeric({7, 3}, std::move(data));
}

Value command(const char* action) {
  return Value::text(std::string("quorin_processor_ct('") + action + "')      ");
}

Value records_of_rows(const std::vector<std::vector<double>>& rows) {
  std::vector<std::vector<Value>> elements;
  for (const auto& r : rows) elements.push_back({Value::row(r)});
  const std::size_t n = elements.size();
  return Value::records({1, n}, {"data"}, std::move(elements));
}

void valving_tables(const Side& side, Value& vel, Value& force) {
  const std::size_t valves = side.valves.size(), springs = side.springs.size();
  std::vector<Value> vcells, fcells;
  for (std::size_t s = 1; s <= springs; ++s) {
    for (std::size_t v = 1; v <= valves; ++v) {
      std::vector<std::vector<double>> vrows, frows;
      for (std::size_t h = 1; h <= table_entries(s); ++h) {
        Measurement m = valve_measurement(side, v, s, h);
        vrows.push_back(std::move(m.velocity));
        frows.push_back(std::move(m.force));
      }
      vcells.push_back(records_of_rows(vrows));
      fcells.push_back(records_of_rows(frows));
    }
  }
  vel = Value::cell({valves, springs}, std::move(vcells));
  force = Value::cell({valves, springs}, std::move(fcells));
}

void write_bytes(const std::filesystem::path& file, const std::vector<unsigned char>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw RuntimeError("cannot write " + file.string());
}

}  // namespace

const Side& compression_side() {
  static const Side s = make_compression();
  return s;
}

const Side& rebound_side() {
  static const Side s = make_rebound();
  return s;
}

std::size_t table_entries(std::size_t spring_row) {
  switch (spring_row) {
    case 1: return 31;
    case 2:
    case 3: return 30;
    default: return 28;
  }
}

double adjuster_clicks(std::size_t spring_row, std::size_t h) {
  // the stiffer springs start further wound in: their adjuster's first clicks take up the
  // spring's seating, so the table starts at a later position
  const double offset = spring_row == 1 ? 0 : spring_row <= 3 ? 1 : 3;
  return static_cast<double>(h) - 1 + offset;
}

Damper valve_damper(const Side& side, std::size_t valve_row, std::size_t spring_row, std::size_t h) {
  Damper d;
  d.valve = &side.valves.at(valve_row - 1);
  d.spring = &side.springs.at(spring_row - 1);
  d.adjuster_clicks = adjuster_clicks(spring_row, h);
  d.bleed_clicks = kReferenceBleedClicks;
  return d;
}

Measurement valve_measurement(const Side& side, std::size_t valve_row, std::size_t spring_row,
                              std::size_t h) {
  Noise pick(entry_seed(side, valve_row, spring_row, h) ^ 0x5EED);
  const int points = 40 + static_cast<int>(pick.next() % 17);
  return measure(valve_damper(side, valve_row, spring_row, h), points, kValveSweepTopMps, true,
                 entry_seed(side, valve_row, spring_row, h));
}

Measurement bleed_measurement(int clicks) {
  Damper d;
  d.bleed_clicks = clicks;
  const double top = std::round(d.velocity_mps(kBleedSweepLimitN) * 1e5) / 1e5;
  return measure(d, 48, top, false, 0xB1EEDull + static_cast<std::uint64_t>(clicks));
}

std::vector<VariableFile> variable_files() {
  std::vector<VariableFile> files;

  VariableFile matrix{"quorin_matrix_2007_v1", {}};
  Value cv, cf, rv, rf;
  valving_tables(compression_side(), cv, cf);
  valving_tables(rebound_side(), rv, rf);
  matrix.variables = {{"compvel", cv}, {"compforce", cf}, {"rebvel", rv}, {"rebforce", rf}};
  files.push_back(std::move(matrix));

  VariableFile bleed{"quorin_bleed_2004_v1", {}};
  std::vector<std::vector<double>> bv, bf;
  for (int clicks = 0; clicks <= kBleedClicks; ++clicks) {
    Measurement m = bleed_measurement(clicks);
    bv.push_back(std::move(m.velocity));
    bf.push_back(std::move(m.force));
  }
  bleed.variables = {{"bleedvel", records_of_rows(bv)}, {"bleedforce", records_of_rows(bf)}};
  files.push_back(std::move(bleed));

  const Value colormap = colormap_value();
  const Value order = colour_order();
  const Value small_logo = index_picture(draw_logo(115, 51));
  const Value plot_logo = index_picture(draw_logo(167, 78));

  VariableFile main{"quorin_interface_v41", {}};
  auto& m = main.variables;
  m.emplace_back("mat0", colormap);
  m.emplace_back("mat1", Value::text("Clears the plot. With All ticked every curve goes; "
                                     "otherwise curve 1 stays."));
  m.emplace_back("mat2", list_value(numbered_texts(0, 30)));
  m.emplace_back("mat3", list_value(numbered_texts(0, 20)));
  m.emplace_back("mat4", list_value(numbered_texts(0, 20)));
  m.emplace_back("mat5", list_value(numbered_texts(0, 30)));
  m.emplace_back("mat6", command("import"));
  m.emplace_back("mat7", Value::text("Imports a text curve (*.txt: velocity, compression force, "
                                     "rebound force) and plots it over the damper curves"));
  m.emplace_back("mat8", command("export"));
  m.emplace_back("mat9", Value::text("Appends the curve whose number is in the box to "
                                     "data\\export.txt as a velocity/force table"));
  m.emplace_back("mat10", command("save"));
  m.emplace_back("mat11", command("load"));
  m.emplace_back("mat12", command("roehrig"));
  m.emplace_back("mat13", Value::text("Plots the curve before the last one plus half of the last "
                                      "one: a damper with a third valve. Not stored."));
  m.emplace_back("mat14", option_list(compression_side()));
  m.emplace_back("mat15", option_list(rebound_side()));
  m.emplace_back("mat16", spring_list(compression_side()));
  m.emplace_back("mat17", spring_list(rebound_side()));
  m.emplace_back("mat18", order);
  m.emplace_back("mat19", small_logo);
  m.emplace_back("mat20", Value::row({-5.5, 26, 1}));
  m.emplace_back("mat21", order);
  files.push_back(std::move(main));

  files.push_back({"plotfigure",
                   {{"mat0", colormap},
                    {"mat1", order},
                    {"mat2", order},
                    {"mat3", Value::row({0.73, 0.22, 0.26, 0.7})},
                    {"mat4", Value::row({-0.08, 1.04, 1})},
                    {"mat5", order},
                    {"mat6", plot_logo}}});
  NamedValues turn = {{"mat0", colormap}, {"mat1", order},    {"mat2", order},
                      {"mat3", order},    {"mat4", order},    {"mat5", plot_logo}};
  files.push_back({"lht", turn});
  turn.emplace_back("mat6", Value::row({84, 86.5, 1}));
  files.push_back({"rht", turn});
  files.push_back({"warningCT", {{"mat0", colormap}, {"mat1", Value::number(10)}}});
  return files;
}

std::vector<BinaryFile> picture_files() {
  return {{"logo_small.bmp", encode_bmp24(draw_logo(115, 51))},
          {"logo_plot.bmp", encode_bmp24(draw_logo(167, 78))}};
}

void write_supplied_data(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder / "data", ec);
  if (ec) throw RuntimeError("cannot create " + (folder / "data").string() + ": " + ec.message());
  for (const VariableFile& f : variable_files()) save_variables(folder / f.name, f.variables);
  for (const BinaryFile& f : picture_files()) write_bytes(folder / f.name, f.bytes);
  write_bytes(folder / "data" / "export.txt", {});
}

}  // namespace quorin::datagen
