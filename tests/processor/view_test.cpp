// "view": the synthesis of one damper set-up from the selections, stored as the next record
// and drawn; checked against hand-made valving and bleed tables.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <sstream>

#include "plotting/plotfunction.h"
#include "processor/processor.h"
#include "processor/resample.h"
#include "services/runtime_error.h"
#include "services/varfile.h"
#include "services/temp_dir.h"
#include "support/comparison_windows.h"

namespace quorin {
namespace {

using test_support::add_control;
using test_support::build_comparison_windows;
using test_support::main_control;

constexpr std::size_t kValves = 3, kSprings = 5, kHighSpeed = 31, kBleeds = 21;

// Valving entry {v, s}(h): 21 measured points up to 1000 + 10 h newtons, so the length of a
// stored force grid tells which entry was used. Velocity a f + b f^2 with b depending on the
// valve and spring.
double top_force(std::size_t h) { return 1000 + 10 * static_cast<double>(h); }

ValvingTable valving(bool velocities, double a, double b0) {
  ValvingTable t;
  t.valves = kValves;
  t.springs = kSprings;
  t.cells.resize(kValves * kSprings);
  for (std::size_t s = 1; s <= kSprings; ++s)
    for (std::size_t v = 1; v <= kValves; ++v)
      for (std::size_t h = 1; h <= kHighSpeed; ++h) {
        const double b = b0 * (1 + 0.1 * static_cast<double>(s) + 0.2 * static_cast<double>(v));
        std::vector<double> row;
        for (int k = 0; k <= 20; ++k) {
          const double f = top_force(h) * k / 20.0;
          row.push_back(velocities ? a * f + b * f * f : f);
        }
        t.cells[(s - 1) * kValves + (v - 1)].push_back(row);
      }
  return t;
}

// Bleed setting k: a straight line, force = (gain / k) x velocity, measured up to 0.5 m/s.
void write_bleed_file(const std::filesystem::path& folder, double gain) {
  std::vector<std::vector<Value>> vel, force;
  for (std::size_t k = 1; k <= kBleeds; ++k) {
    std::vector<double> v, f;
    for (int i = 0; i <= 20; ++i) {
      v.push_back(0.5 * i / 20.0);
      f.push_back(gain / static_cast<double>(k) * v.back());
    }
    vel.push_back({Value::row(v)});
    force.push_back({Value::row(f)});
  }
  save_variables(folder / "quorin_bleed_2004_v1",
                 {{"bleedvel", Value::records({1, kBleeds}, {"data"}, vel)},
                  {"bleedforce", Value::records({1, kBleeds}, {"data"}, force)}});
}

std::vector<std::string> numbered_rows(int last) {
  std::vector<std::string> rows;
  for (int i = 0; i <= last; ++i) rows.push_back(std::to_string(i));
  return rows;
}

class View : public ::testing::Test {
 public:
  void SetUp() override {
    using S = gfx::Control::Style;
    const auto windows = build_comparison_windows(gfx);
    g.plothandle = windows.plothandle;
    g.IDhandle = windows.IDhandle;
    g.counter = 1;
    g.counter2 = 1;
    g.siunits = 1;
    g.import = Matrix{1, 3, {0, 0, 0}};
    g.ShockData = Value::record();
    g.compvel = valving(true, 2e-4, 1e-7);
    g.compforce = valving(false, 0, 0);
    g.rebvel = valving(true, 3e-4, 2e-7);
    g.rebforce = valving(false, 0, 0);
    write_bleed_file(dir.path(), kGain);

    gfx::Window& w = *gfx.window(1);
    std::vector<std::string> bleeds = numbered_rows(20);
    bleeds.push_back("25");
    bleeds.push_back("x");
    const std::vector<std::string> valves = {"MV-0001 A 10x0.15", "MV-0002 B 12x0.2", "MV-003"};
    const std::vector<std::string> springs = {"S1", "S2", "S3", "S4", "S5"};
    add_control(gfx, w, S::Edit, "motionratio", "1");
    add_control(gfx, w, S::Popup, "LSC", "", 6, bleeds);              // "5"
    add_control(gfx, w, S::Popup, "CompressionSpring", "", 2, springs);
    add_control(gfx, w, S::Popup, "HSC", "", 4, numbered_rows(30));  // "3"
    add_control(gfx, w, S::Popup, "CompressionValve", "", 1, valves);
    add_control(gfx, w, S::Edit, "valveseatcompression", "7731-02");
    add_control(gfx, w, S::Popup, "LSR", "", 8, bleeds);             // "7"
    add_control(gfx, w, S::Popup, "ReboundSpring", "", 1, springs);
    add_control(gfx, w, S::Popup, "HSR", "", 3, numbered_rows(30));  // "2"
    add_control(gfx, w, S::Popup, "ReboundValve", "", 2, valves);
    add_control(gfx, w, S::Edit, "valveseatrebound", "7731-01");
    add_control(gfx, w, S::Edit, "internalshaft", "12");
    add_control(gfx, w, S::Edit, "externalshaft", "12");
    add_control(gfx, w, S::Edit, "piston", "40");
  }

  Processor processor() {
    Processor p{g, gfx, dialogs, console, dir.path(), [this] { ++warnings; }};
    p.bleed_cache = cache;
    return p;
  }
  void plot() {
    Processor p = processor();
    actions::view(p);
  }
  gfx::Control& control(const char* tag) { return main_control(gfx, tag); }
  const DamperCurve& last() { return g.plotdata.at(static_cast<std::size_t>(g.counter) - 2); }

  // The compression velocity row built directly from the tables: corrected shim flow plus
  // the bleed of setting k.
  std::vector<double> expected_compression(std::size_t v, std::size_t s, std::size_t h,
                                           std::size_t k) {
    const auto& mv = *g.compvel.entry(v, s, h);
    const auto& mf = *g.compforce.entry(v, s, h);
    std::vector<double> grid;
    for (int f = 0; f <= static_cast<int>(std::floor(mf.back())); ++f) grid.push_back(f);
    auto line = [&](double kk) {
      std::vector<double> bv, bf;
      for (int i = 0; i <= 20; ++i) {
        bv.push_back(0.5 * i / 20.0);
        bf.push_back(kGain / kk * bv.back());
      }
      return bleed(bv, bf, grid).xspline;
    };
    const auto measured = curve(mv, mf, grid).xspline;
    const auto reference = line(11);
    const auto selected = line(static_cast<double>(k));
    std::vector<double> shim(measured.size());
    for (std::size_t i = 0; i < shim.size(); ++i) shim[i] = measured[i] - reference[i];
    shim = correction(shim);
    for (std::size_t i = 0; i < shim.size(); ++i) shim[i] += selected[i];
    return shim;
  }

  static constexpr double kGain = 110000;
  test::TempDir dir;
  Globals g;
  gfx::Model gfx;
  ScriptedDialogs dialogs;
  std::ostringstream console;
  BleedCache* cache = nullptr;
  int warnings = 0;
};

TEST_F(View, DefaultDimensionsGiveExactScalesAndWheelRowsEqualToTheBaseRows) {
  plot();
  ASSERT_EQ(g.plotdata.size(), 1u);
  const DamperCurve& p = g.plotdata[0];
  EXPECT_EQ(p.compscale, 1);
  EXPECT_EQ(p.rebscale, 1);
  EXPECT_EQ(p.gasforce, 0);
  EXPECT_EQ(p.motionratio, 1);
  EXPECT_EQ(p.compression_velocity, p.cmpvelocity);
  EXPECT_EQ(p.compression_force, p.cmpforce);
  EXPECT_EQ(p.rebound_velocity, p.rebvelocity);
  EXPECT_EQ(p.rebound_force, p.rebforce);
  EXPECT_EQ(g.sitous_vel, 1);
  EXPECT_EQ(g.sitous_force, 1);

  // Compression: spring 2, HSC "3" at row 4 -> entry 3; rebound: spring 1, HSR "2" -> entry 3.
  ASSERT_EQ(p.cmpforce.size(), 1031u);
  ASSERT_EQ(p.rebforce.size(), 1031u);
  EXPECT_EQ(p.cmpvelocity.size(), p.cmpforce.size());
  EXPECT_EQ(p.rebvelocity.size(), p.rebforce.size());
  EXPECT_EQ(p.cmpforce[0], 0);
  EXPECT_EQ(p.cmpforce[1], 1);
  EXPECT_EQ(p.cmpforce.back(), 1030);
  EXPECT_EQ(p.rebforce[0], 0);
  EXPECT_EQ(p.rebforce[1], -1);
  EXPECT_EQ(p.rebforce[2], -2);
  EXPECT_EQ(p.rebforce.back(), -1030);

  EXPECT_EQ(p.cmpvelocity, expected_compression(1, 2, 3, 6));
  EXPECT_EQ(g.counter, 2);
  EXPECT_EQ(g.counter2, 2);
  EXPECT_EQ(gfx.window(1)->pointer, "arrow");
  EXPECT_EQ(gfx.current_window()->number, 1);
  // Drawn: the compression and rebound curves of record 1.
  EXPECT_EQ(gfx.children_of<gfx::Line>(gfx.get(g.plothandle)).size(), 2u);
}

TEST_F(View, SelectionsAreKeptInTheGlobals) {
  plot();
  EXPECT_EQ(g.mrstr, "1");
  EXPECT_EQ(g.cbleedvalue, 6);
  EXPECT_EQ(g.cbleed, "5");
  EXPECT_EQ(g.cspring, "S2");
  EXPECT_EQ(g.chigh, "3");
  EXPECT_EQ(g.cvalve, "MV-0001 A 10x0.15");
  EXPECT_EQ(g.rbleed, "7");
  EXPECT_EQ(g.rspring, "S1");
  EXPECT_EQ(g.rhigh, "2");
  EXPECT_EQ(g.rvalve, "MV-0002 B 12x0.2");
}

TEST_F(View, LegendTextsJoinTheSelectionsWithTheirExactBlanks) {
  control("motionratio").string = "1.5";
  control("internalshaft").string = "0";
  plot();
  const DamperCurve& p = g.plotdata[0];
  EXPECT_EQ(p.curveIDcompression1, "1  Comp  MV-0001/7731-02  -  S2");
  EXPECT_EQ(p.curveIDcompression2, "                  A 10x0.15  -  LSC 5   HSC 3");
  EXPECT_EQ(p.curveIDrebound1, "     Reb     MV-0002/7731-01  -  S1");
  EXPECT_EQ(p.curveIDrebound2,
            "                  B 12x0.2  -  LSR 7 - HSR 2  -  MR:1.5 - 0/12/40");
  control("CompressionValve").items[2] = "MV-0003";  // exactly seven: no shim stack
  control("CompressionValve").value = 3;
  plot();
  EXPECT_EQ(g.plotdata[1].curveIDcompression1, "2  Comp  MV-0003/7731-02  -  S2");
  EXPECT_EQ(g.plotdata[1].curveIDcompression2, "                    -  LSC 5   HSC 3");
}

TEST_F(View, HighSpeedIndexFollowsTheSpringRow) {
  struct Row {
    const char* side;
    double spring, row;  // row r holds the text r - 1
    std::size_t entry;
  };
  const Row rows[] = {
      {"HSC", 1, 4, 4},   {"HSC", 2, 1, 1},  {"HSC", 2, 2, 1},  {"HSC", 3, 3, 2},
      {"HSC", 4, 1, 1},   {"HSC", 4, 2, 1},  {"HSC", 4, 3, 1},  {"HSC", 4, 4, 1},
      {"HSC", 4, 5, 1},   {"HSC", 4, 6, 3},  {"HSC", 4, 31, 28}, {"HSC", 5, 7, 6},
      {"HSR", 1, 1, 1},   {"HSR", 2, 2, 2},  {"HSR", 3, 3, 2},  {"HSR", 3, 4, 3},
      {"HSR", 4, 5, 1},   {"HSR", 4, 9, 6},  {"HSR", 5, 7, 6},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.side) + " spring " + std::to_string(r.spring) + " row " +
                 std::to_string(r.row));
    const bool comp = std::string(r.side) == "HSC";
    control(comp ? "CompressionSpring" : "ReboundSpring").value = r.spring;
    control(r.side).value = r.row;
    g.counter = 1;
    plot();
    const DamperCurve& p = g.plotdata[0];
    const auto& grid = comp ? p.cmpforce : p.rebforce;
    EXPECT_EQ(grid.size(), static_cast<std::size_t>(top_force(r.entry)) + 1);
    control("CompressionSpring").value = 2;
    control("ReboundSpring").value = 1;
  }
}

TEST_F(View, InternalShaftZeroScalesCompressionOnly) {
  plot();
  const DamperCurve base = g.plotdata[0];
  control("internalshaft").string = "0";
  plot();
  const DamperCurve& p = g.plotdata[1];
  const double pi = std::numbers::pi;
  EXPECT_EQ(p.compscale, (40 * 40 * pi / 4) / (40 * 40 * pi / 4 - 12 * 12 * pi / 4));
  EXPECT_DOUBLE_EQ(p.compscale, 1600.0 / 1456.0);
  EXPECT_EQ(p.rebscale, 1);
  EXPECT_EQ(p.cmpvelocity, base.cmpvelocity);
  EXPECT_EQ(p.rebound_velocity, base.rebound_velocity);
  EXPECT_EQ(p.rebound_force, base.rebound_force);
  for (std::size_t k : {1u, 500u, 1030u}) {
    EXPECT_EQ(p.compression_force[k], p.cmpforce[k] * p.compscale);
    EXPECT_EQ(p.compression_velocity[k], p.cmpvelocity[k] / p.compscale);
    EXPECT_GT(p.compression_force[k], base.compression_force[k]);
    EXPECT_LT(p.compression_velocity[k], base.compression_velocity[k]);
  }
}

TEST_F(View, ReferenceBleedLeavesTheCorrectedShimFlowPlusTheReferenceBleed) {
  control("LSC").value = 11;  // "10": bleed setting 11
  plot();
  const auto reference = g.plotdata[0].cmpvelocity;
  EXPECT_EQ(reference, expected_compression(1, 2, 3, 11));
  control("LSC").value = 1;  // "0": bleed setting 1
  plot();
  EXPECT_EQ(g.plotdata[1].cmpvelocity, expected_compression(1, 2, 3, 1));
  EXPECT_NE(g.plotdata[1].cmpvelocity, reference);
}

TEST_F(View, UsUnitsConvertTheWheelRowsOnly) {
  g.siunits = 0;
  control("motionratio").string = "2";
  plot();
  const DamperCurve& p = g.plotdata[0];
  EXPECT_EQ(g.sitous_vel, 39.37007874015748);
  EXPECT_EQ(g.sitous_force, 4.45374);
  for (std::size_t k : {0u, 1u, 700u}) {
    EXPECT_EQ(p.compression_velocity[k], p.cmpvelocity[k] * 39.37007874015748 / 1 * 2);
    EXPECT_EQ(p.compression_force[k], (p.cmpforce[k] * 1 / 4.45374 + 0 / 4.45374) / 2);
    EXPECT_EQ(p.rebound_force[k], (p.rebforce[k] * 1 / 4.45374 + 0 / 4.45374) / 2);
  }
  EXPECT_EQ(p.cmpforce.back(), 1030);  // base rows stay SI
}

TEST_F(View, EighthPlotOpensTheWarningAndChangesNothing) {
  for (int i = 0; i < 7; ++i) plot();
  EXPECT_EQ(g.counter, 8);
  EXPECT_EQ(warnings, 0);
  const auto plotdata = g.plotdata;
  const std::string before = g.cbleed;
  control("LSC").value = 2;
  gfx.window(1)->pointer = "arrow";
  plot();
  EXPECT_EQ(warnings, 1);
  EXPECT_EQ(g.counter, 8);
  EXPECT_EQ(g.counter2, 8);
  EXPECT_EQ(g.plotdata, plotdata);
  EXPECT_EQ(g.cbleed, before);
  EXPECT_EQ(gfx.window(1)->pointer, "arrow");
  // Each of the seven records carries its own number.
  for (std::size_t i = 0; i < 7; ++i)
    EXPECT_EQ(g.plotdata[i].curveIDcompression1.substr(0, 3), std::to_string(i + 1) + "  ");
}

TEST_F(View, AfterClearTheNextPlotOverwritesTheStaleRecord) {
  plot();
  plot();
  control("LSC").value = 1;
  g.counter = 2;  // as after CLEAR without "All"
  plot();
  ASSERT_EQ(g.plotdata.size(), 2u);
  EXPECT_EQ(g.plotdata[1].curveIDcompression2.find("LSC 0") != std::string::npos, true);
  EXPECT_EQ(g.plotdata[0].curveIDcompression2.find("LSC 5") != std::string::npos, true);
  EXPECT_EQ(g.counter, 3);
  EXPECT_EQ(g.counter2, 4);
}

struct FailureRow {
  const char* name;
  std::function<void(View&)> spoil;
  std::string message;
};

class ViewFailure : public View, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(ViewFailure, NamesTheBoxOrEntryAndKeepsTheStoredCurves) {
  const FailureRow& r = GetParam();
  plot();
  plot();
  g.counter = 2;  // record 2 is stale but still there
  const auto plotdata = g.plotdata;
  r.spoil(*this);
  try {
    plot();
    ADD_FAILURE() << "expected a failure";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.what(), r.message);
  }
  EXPECT_EQ(g.plotdata, plotdata);
  EXPECT_EQ(g.counter, 2);
  EXPECT_EQ(g.counter2, 3);
  EXPECT_EQ(gfx.window(1)->pointer, "arrow");
}

INSTANTIATE_TEST_SUITE_P(
    View, ViewFailure,
    ::testing::Values(
        FailureRow{"motion_ratio", [](View& t) { t.control("motionratio").string = "abc"; },
                   "The motion ratio box does not hold a number."},
        FailureRow{"internal_shaft", [](View& t) { t.control("internalshaft").string = ""; },
                   "The internal shaft box does not hold a number."},
        FailureRow{"external_shaft", [](View& t) { t.control("externalshaft").string = "1 2"; },
                   "The external shaft box does not hold a number."},
        FailureRow{"piston", [](View& t) { t.control("piston").string = "4o"; },
                   "The piston box does not hold a number."},
        FailureRow{"motion_ratio_zero", [](View& t) { t.control("motionratio").string = "0"; },
                   "The motion ratio must be a number greater than 0 (wheel travel over damper "
                   "travel); the motionratio box holds \"0\". No curve was stored."},
        FailureRow{"motion_ratio_negative",
                   [](View& t) { t.control("motionratio").string = "-1.2"; },
                   "The motion ratio must be a number greater than 0 (wheel travel over damper "
                   "travel); the motionratio box holds \"-1.2\". No curve was stored."},
        FailureRow{"motion_ratio_nan", [](View& t) { t.control("motionratio").string = "NaN"; },
                   "The motion ratio must be a number greater than 0 (wheel travel over damper "
                   "travel); the motionratio box holds \"NaN\". No curve was stored."},
        FailureRow{"motion_ratio_inf", [](View& t) { t.control("motionratio").string = "Inf"; },
                   "The motion ratio must be a number greater than 0 (wheel travel over damper "
                   "travel); the motionratio box holds \"Inf\". No curve was stored."},
        FailureRow{"piston_equal_to_the_shafts", [](View& t) { t.control("piston").string = "12"; },
                   "The piston must be larger than the shafts: a piston of 12 mm with an "
                   "internal shaft of 12 mm and an external shaft of 12 mm leaves no area for "
                   "the oil to push on. No curve was stored."},
        FailureRow{"piston_smaller_than_the_external_shaft",
                   [](View& t) {
                     t.control("internalshaft").string = "0";
                     t.control("externalshaft").string = "45";
                   },
                   "The piston must be larger than the shafts: a piston of 40 mm with an "
                   "internal shaft of 0 mm and an external shaft of 45 mm leaves no area for "
                   "the oil to push on. No curve was stored."},
        FailureRow{"piston_zero",
                   [](View& t) {
                     t.control("piston").string = "0";
                     t.control("internalshaft").string = "0";
                     t.control("externalshaft").string = "0";
                   },
                   "The piston must be larger than the shafts: a piston of 0 mm with an "
                   "internal shaft of 0 mm and an external shaft of 0 mm leaves no area for "
                   "the oil to push on. No curve was stored."},
        FailureRow{"negative_piston", [](View& t) { t.control("piston").string = "-40"; },
                   "The piston diameter must be a number of millimetres from 0 up; its box "
                   "holds \"-40\". No curve was stored."},
        FailureRow{"infinite_shaft", [](View& t) { t.control("externalshaft").string = "Inf"; },
                   "The external shaft diameter must be a number of millimetres from 0 up; its "
                   "box holds \"Inf\". No curve was stored."},
        FailureRow{"table_entry",
                   [](View& t) {
                     t.control("CompressionSpring").value = 5;
                     t.control("HSC").value = 1;
                   },
                   "The valving table has no entry compvel{1,5}(0)."},
        FailureRow{"bleed_entry", [](View& t) { t.control("LSR").value = 22; },
                   "The bleed data have no entry bleedvel(26)."},
        FailureRow{"bleed_text", [](View& t) { t.control("LSC").value = 23; },
                   "The LSC setting \"x\" is not a number."},
        FailureRow{"short_valve_text", [](View& t) { t.control("ReboundValve").value = 3; },
                   "The rebound valve \"MV-003\" is shorter than seven characters."},
        FailureRow{"short_curve",
                   [](View& t) {
                     auto& row = t.g.compforce.cells[(2 - 1) * kValves][3 - 1];
                     for (double& f : row) f *= 98.5 / row.back();
                     row.back() = 98.5;
                   },
                   "The valving table entry compforce{1,2}(3) ends at 98.5 N; a curve must "
                   "reach 99 N."}),
    [](const ::testing::TestParamInfo<FailureRow>& info) { return std::string(info.param.name); });

TEST_F(View, MissingBleedFileFailsBeforeStoring) {
  std::filesystem::remove(dir / "quorin_bleed_2004_v1.mat");
  EXPECT_THROW(plot(), RuntimeError);
  EXPECT_TRUE(g.plotdata.empty());
  EXPECT_EQ(g.counter, 1);
  EXPECT_EQ(gfx.window(1)->pointer, "arrow");
}

TEST_F(View, KeptBleedDataFollowTheFile) {
  BleedCache kept;
  cache = &kept;
  plot();
  plot();
  EXPECT_EQ(g.plotdata[0].cmpvelocity, g.plotdata[1].cmpvelocity);
  // Another bleed file (different size) is read again.
  write_bleed_file(dir.path(), 2 * kGain + 0.123456789);
  plot();
  EXPECT_NE(g.plotdata[2].cmpvelocity, g.plotdata[0].cmpvelocity);
  std::filesystem::remove(dir / "quorin_bleed_2004_v1.mat");
  EXPECT_THROW(plot(), RuntimeError);
  EXPECT_EQ(g.counter, 4);
}

TEST(ValvingTableValue, SurvivesTheValueEdge) {
  const ValvingTable t = valving(true, 2e-4, 1e-7);
  const Value v = to_value(t);
  ASSERT_TRUE(v.is_cell());
  EXPECT_EQ(v.cell_at(2, 3).numel(), kHighSpeed);
  const ValvingTable back = valving_table_from_value(v, "compvel");
  ASSERT_NE(back.entry(2, 3, 31), nullptr);
  EXPECT_EQ(*back.entry(2, 3, 31), *t.entry(2, 3, 31));
  EXPECT_EQ(back.cells, t.cells);
}

}  // namespace
}  // namespace quorin
